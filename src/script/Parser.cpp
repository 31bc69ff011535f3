#include "script/Parser.h"

#include "core/Clock.h"
#include "core/SceneChanges.h"
#include "core/Services.h"
#include "entities/NBacklog.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"
#include "resources/PhysFsStream.h"
#include "script/NParser.h"

namespace zel
{
namespace
{
bool GameOver()
{
    const SystemVariables* sysVars = Services::SysVars();
    return sysVars != nullptr && sysVars->gameOver;
}

/// What one update may read while playing: a script that jumps in a circle without a wait must leave the frame loop
/// time to draw, take the reader's input and close the window.
constexpr int kLinesPerUpdate = 10000;
constexpr long long kReadMsPerUpdate = 50;
} // namespace

Parser::Parser(std::wstring name, const std::wstring& text, std::uint8_t kind)
    : scriptName(std::move(name)), parserKind(kind)
{
    m_infile.str(text);
    if (kind == PARSER_MAIN)
        OutputDebugStringN(L"[Parser] CREATING MAIN PARSER... \n");
    OutputDebugStringVerbatim(L"\n[Parser] CONSTRUCTOR: script opened. filename: \"" + scriptName + L"\" \n");
}

Parser::~Parser()
{
    EndLoopLogCount();
    m_infile.str(L"");
    OutputDebugStringN(L"[~Parser] DESTRUCTION complete. final_script:\"%s\" \n", scriptName.c_str());
}

bool Parser::atEnd()
{
    return m_infile.peek() == std::char_traits<wchar_t>::eof();
}

bool Parser::Finished()
{
    // A wait on the very last line (a click, a time, a choice) still holds the script: the message box ends with
    // its wait for the answer.
    return m_ParserState == PARSE_SCRIPT_FIN || (m_ParserState == PARSE_CONT && atEnd());
}

void Parser::ResetEditorSysVars()
{
    // Before the registry empties the resource pools: the backlog holds its box and a copy of the box's font.
    if (EntityRegistry* entities = Services::Entities(); entities != nullptr && entities->pBacklog != nullptr)
        entities->pBacklog->clear();
    Services::RemoveEntities();
    if (SystemVariables* sysVars = Services::SysVars())
    {
        sysVars->backlogDisplay = LineValue<bool>(false);
        sysVars->curBacklogUseTextareaName.clear();
        sysVars->curUseTextareaName.clear();
        sysVars->defaultButtonImages.clear();
        sysVars->textAutoWait.clear();
        sysVars->keyTriggers.clear();
        sysVars->mouseTriggers.clear();
    }
    OutputDebugStringN(L"[Parser::setScriptText] script rest. EDITOR MODE: RESETTING SYSVARS \n");
}

void Parser::setScriptText(const std::wstring& name, const std::wstring& text, bool reset)
{
    if (name != scriptName)
    {
        const SystemVariables* sysVars = Services::SysVars();
        if (sysVars == nullptr || !sysVars->applicationFlag || reset)
            ResetEditorSysVars();
        textModeRecord.clear();
        scriptName = name;
        readlineno = 1;
        OutputDebugStringN(L"[Parser::setScriptText] script reset. filename: \"%s\" \n", scriptName.c_str());
    }
    if (readlineno == 0)
        readlineno = 1;
    ReplaceText(text);
    GotoLine(reset ? 1 : readlineno);
    OutputDebugStringN(L"[Parser::setScriptText] script update. filename: \"%s\" \n", scriptName.c_str());
}

void Parser::ReplaceText(const std::wstring& text)
{
    m_infile.clear();
    m_infile.str(text);
}

void Parser::PruneTextModeWhileEditing()
{
    if (lineContext::Editing())
        textModeRecord.pruneAfter(lineContext::MainLine());
}

bool Parser::SeekToLine(std::wstringstream& stream, int line)
{
    if (line < 0)
    {
        OutputDebugStringN(L"[GotoLine] incorrect line no: %d \n", line);
        return false;
    }
    stream.clear();
    stream.seekg(0);
    for (int skipped = 1; skipped < line; ++skipped)
        stream.ignore(std::numeric_limits<std::streamsize>::max(), L'\n');
    return true;
}

void Parser::GotoLine(int line)
{
    const bool editing = lineContext::Editing();
    if (editing && isMain())
        Services::RemoveEntitiesFromLine(line);
    m_infile.clear();
    SeekToLine(m_infile, line);
    readlineno = line - 1;
    if (!editing)
        return;
    const int mainLine = lineContext::MainLine();
    textModeRecord.pruneAfter(mainLine);
    if (SystemVariables* sysVars = Services::SysVars())
    {
        sysVars->defaultButtonImages.pruneAfter(mainLine);
        sysVars->textAutoWait.pruneAfter(mainLine);
    }
}

void Parser::PrepareRead()
{
    if (m_ParserState == SYNC_EXEC && syncLine >= readlineno)
        m_ParserState = PARSE_CONT;
    else if (lineContext::Editing() &&
             (m_ParserState == SYNC_EXEC || m_ParserState == WAIT_BTNSEL || m_ParserState == WAIT_MSGBOXSEL))
        m_ParserState = PARSE_CONT;
    if (m_ParserState == PARSE_FIN)
        m_ParserState = PARSE_CONT;
}

bool Parser::ReadShareUsed(int lines, std::chrono::steady_clock::time_point start)
{
    // Time counts only once reading went back: a read without a jump back ends with its script, however slowly
    // its pictures load.
    if (lineContext::Editing() ||
        (lines < kLinesPerUpdate && (!m_wentBack || Clock::MillisecondsSince(start) < kReadMsPerUpdate)))
        return false;
    OutputDebugStringN(L"\nERROR. [Parser::ReadScript] script:%s line:%i: %i lines read without a wait (a jump loop?). "
                       L"reading goes on in the next frame \n",
                       scriptName.c_str(), readlineno - 1, lines);
    return true;
}

void Parser::CountLoopLogLines()
{
    if (!m_countsLogRepeats)
        m_countsLogRepeats = NHelper::concurrentLogger::Instance().BeginRepeatCount();
}

void Parser::EndLoopLogCount()
{
    if (!m_countsLogRepeats)
        return;
    m_countsLogRepeats = false;
    NHelper::concurrentLogger::Instance().EndRepeatCount();
}

int Parser::ReadLines()
{
    const auto start = Clock::Now();
    int lines = 0;
    m_readShareUsed = false;
    m_wentBack = false;
    std::wstring line; // one buffer for every line read
    while (!ReadScriptBreak())
    {
        if (ReadShareUsed(lines, start))
        {
            m_readShareUsed = true;
            break;
        }
        ++lines;
        curlineTokens.clear();
        std::getline(m_infile, line);
        PruneTextModeWhileEditing();
        curlineTokens = LineTokens(line);
        if (!curlineTokens.empty())
        {
            const int lineRead = readlineno;
            const int next = ParseTokens(line, curlineTokens, false);
            if (next < lineRead) // a jump back (the bookmark search has already moved readlineno)
            {
                m_wentBack = true;
                CountLoopLogLines();
            }
            if (next != readlineno)
                ReadScriptJumpedToLine(next);
        }
        ++readlineno;
        if (m_ParserState == SYNC_EXEC)
            continue;
        if (lineContext::Editing())
            m_ParserState = PARSE_CONT;
    }
    return lines;
}

int Parser::s_readDepth = 0;

void Parser::ReadScript(int untilLine)
{
    if (GameOver() || m_ParserState == PARSE_STOP)
        return;
    struct ReadingMark
    {
        ReadingMark() { ++s_readDepth; }
        ~ReadingMark() { --s_readDepth; }
    } reading;
    const auto start = Clock::Now();
    const std::uint8_t stateBefore = m_ParserState;
    readUntilLine = untilLine;
    ++readlineno;
    curlineTokens.clear();
    PrepareRead();
    const int lines = ReadLines();
    if (curlineTokens.size() == 1 && curlineTokens.front() == L"script_fin")
        m_ParserState = PARSE_SCRIPT_FIN;
    --readlineno;
    // Whatever the lines did shows from the next frame on; reported after the read, so that a frame drawn while the
    // read runs (a long layout) does not take the report with it.
    if (lines > 0 || m_ParserState != stateBefore)
        SceneChanges::Report();
    // A loop that goes on in the next update keeps its count; one that ended writes it.
    if (!m_readShareUsed)
        EndLoopLogCount();
    if (GameOver() || m_readShareUsed)
        return;
    const auto elapsed = Clock::MillisecondsSince(start);
    OutputDebugStringN(L"[Parser::ReadScript] duration:%ims. script:%s read until line:%i (mainscriptline:%i) \n\n",
                       static_cast<int>(elapsed), scriptName.c_str(), readlineno, lineContext::MainLine());
}

bool Parser::ReadScriptBreak()
{
    const zel::NParser* stack = Services::pNParser.get();
    if (stack != nullptr && stackIndex != -1 && stackIndex + 1 < static_cast<int>(stack->m_parserDeque.size()))
        return true;
    if (atEnd() || m_ParserState != PARSE_CONT)
    {
        if (m_ParserState == PARSE_FIN)
            OutputDebugStringN(L"[Parser::ReadScriptBreak] PARSE_FIN \n");
        else
            OutputDebugStringN(
                L"[Parser::ReadScriptBreak] m_infile.eof() || m_ParserState != PARSE_CONT. m_ParserState:%i \n",
                static_cast<int>(m_ParserState));
        return true;
    }
    if (GameOver())
        return true;
    if (!curlineTokens.empty() && curlineTokens.front() == L"script_fin")
    {
        m_ParserState = PARSE_SCRIPT_FIN;
        return true;
    }
    const bool withinLimit = readUntilLine == -1 || readlineno <= readUntilLine;
    return !withinLimit;
}

void Parser::ReadScriptJumpedToLine(int line)
{
    OutputDebugStringN(L"[Parser::ReadScriptJumpedToLine] jump occured from:%i to line:%i (+refline:%i) \n", readlineno,
                       line, line + refline);
    readlineno = line;
}

void Parser::AutoContScript_ifNeeded()
{
    if (lineContext::Editing())
        return;
    const auto now = Clock::Now();
    if (m_ParserState == SYNC_EXEC && now - syncStart >= syncDuration)
    {
        OutputDebugStringN(L"[AutoContScript_ifNeeded] SYNC_EXEC COMPLETE. duration:%ims \n",
                           static_cast<int>(syncDuration.count()));
        m_ParserState = PARSE_CONT;
        syncStart = now;
        syncDuration = std::chrono::milliseconds(0);
    }
    // A main script that has run out waits for a click like after a text, instead of being read every frame.
    if (m_ParserState == PARSE_CONT && !(isMain() && atEnd()))
    {
        OutputDebugStringN(L"[AutoContScript_ifNeeded] PARSE_CONT: AUTO CONTINUE SCRIPT. start_readlineno:%i \n",
                           readlineno);
        ReadScript(-1);
    }
}

void Parser::ResetSearchState()
{
    textModeRecord.set(false, false);
    if (SystemVariables* sysVars = Services::SysVars())
        sysVars->defaultButtonImages.set(ButtonImages{L"none", L"none", L"none"}, false);
}

std::wstring Parser::BookmarkWord()
{
    return Services::pNCommands != nullptr ? Services::pNCommands->Keyword(L"bookmark") : L"bookmark";
}

int Parser::GotoBookmark(const std::wstring& name)
{
    // A search that finds nothing must leave the parser as it was: the text mode it met on the way would make the
    // next command line dialogue.
    const LineValue<bool> textModeBefore = textModeRecord;
    SystemVariables* sysVars = Services::SysVars();
    const LineValue<ButtonImages> buttonImagesBefore =
        sysVars != nullptr ? sysVars->defaultButtonImages : LineValue<ButtonImages>();
    const std::ios::iostate flagsBefore = m_infile.rdstate();
    m_infile.clear();
    const std::streampos positionBefore = m_infile.tellg();
    m_infile.seekg(0);
    ResetSearchState();
    const std::wstring bookmarkWord = BookmarkWord();
    int lineNumber = 1;
    std::wstring line;
    while (std::getline(m_infile, line))
    {
        std::vector<std::wstring> tokens = NHelper::Tokenize(line);
        if (tokens.empty())
        {
            ++lineNumber;
            continue;
        }
        if (NHelper::StartsWith(tokens.front(), L"\""))
            textModeRecord.set(true, false);
        else if (NHelper::StartsWith(tokens.front(), L"~"))
        {
            textModeRecord.set(false, false);
            tokens.front().erase(0, 1);
        }
        if (tokens.size() >= 2 && tokens[0] == bookmarkWord && tokens[1] == name)
        {
            OutputDebugStringN(L"\n[GotoBookmark] jumping from line:%i to found bookmark:%s (line:%i)(+refline:%i) \n",
                               readlineno, name.c_str(), lineNumber, lineNumber + refline);
            readlineno = lineNumber;
            if (tokens.size() > 2)
                DeclareScriptVars(std::vector<std::wstring>(tokens.begin() + 2, tokens.end()));
            m_infile.clear(); // a bookmark on the last line without a line break leaves the stream at its end
            return lineNumber;
        }
        ++lineNumber;
    }
    OutputDebugStringN(L"[GotoBookmark] ERROR. BOOKMARK:%s DOES NOT EXIST. restoring script to previous state \n",
                       name.c_str());
    textModeRecord = textModeBefore;
    if (sysVars != nullptr)
        sysVars->defaultButtonImages = buttonImagesBefore;
    m_infile.clear();
    if (positionBefore != std::streampos(-1))
        m_infile.seekg(positionBefore);
    else
        SeekToLine(m_infile, readlineno + 1);
    m_infile.setstate(flagsBefore);
    return -1;
}

bool Parser::GoToScript(const std::wstring& script, const std::wstring& bookmark)
{
    std::wstring text;
    const SystemVariables* sysVars = Services::SysVars();
    const std::wstring path = sysVars != nullptr ? sysVars->FilePath(DATA_SCRIPTS, script) : L"Scripts/" + script;
    if (!PhysFsStream::ReadTxtFile(NHelper::ws2s(path), text))
    {
        OutputDebugStringN(L"[Parser::GoToScript] FAILED! dest-script:%s, dest-bookmark:%s \n", script.c_str(),
                           bookmark.c_str());
        return false;
    }
    scriptName = script;
    ReplaceText(text);
    readlineno = 0;
    ResetSearchState();
    int result = -1;
    if (!bookmark.empty())
    {
        result = GotoBookmark(bookmark);
        if (result != -1)
            OutputDebugStringN(L"[GoToScript] script jump complete. current_script:%s, bookmark:%s \n",
                               scriptName.c_str(), bookmark.c_str());
    }
    else
        OutputDebugStringN(L"[GoToScript] script jump complete. current_script:%s \n", scriptName.c_str());
    if (!lineContext::Editing() || !isMain())
        readlineno = result == -1 ? 0 : result;
    return true;
}

void Parser::DeclareScriptVars(const std::vector<std::wstring>& names)
{
    for (const std::wstring& name : names)
        m_script_vars.emplace_back(name, L"");
}

void Parser::PushScriptVarNames(const std::vector<std::wstring>& values)
{
    if (values.size() < m_script_vars.size())
    {
        OutputDebugStringN(L"\nERROR. [PushScriptVarNames] var_values.size() < m_script_vars.size()");
        return;
    }
    for (std::size_t i = 0; i < m_script_vars.size(); ++i)
    {
        const std::wstring& value = values[i];
        const bool quoted = value.size() >= 2 && value.front() == L'\'';
        m_script_vars[i].second = quoted ? value.substr(1, value.size() - 2) : value;
    }
}

} // namespace zel
