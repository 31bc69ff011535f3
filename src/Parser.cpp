#include "Parser.h"

#include "Clock.h"
#include "Logger.h"
#include "NHelper.h"
#include "NParser.h"
#include "Services.h"

namespace zel
{
namespace
{
bool GameOver()
{
    const SystemVariables* sysVars = Services::SysVars();
    return sysVars != nullptr && sysVars->gameOver;
}
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
    m_infile.str(L"");
    OutputDebugStringN(L"[~Parser] DESTRUCTION complete. final_script:\"%s\" \n", scriptName.c_str());
}

bool Parser::atEnd()
{
    return m_infile.peek() == std::char_traits<wchar_t>::eof();
}

void Parser::ResetEditorSysVars()
{
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
        scriptName = name;
        readlineno = 1;
        OutputDebugStringN(L"[Parser::setScriptText] script reset. filename: \"%s\" \n", scriptName.c_str());
    }
    if (readlineno == 0)
        readlineno = 1;
    m_infile.clear();
    m_infile.str(text);
    GotoLine(reset ? 1 : readlineno);
    OutputDebugStringN(L"[Parser::setScriptText] script update. filename: \"%s\" \n", scriptName.c_str());
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
    if (editing)
        if (SystemVariables* sysVars = Services::SysVars())
        {
            const int mainLine = lineContext::MainLine();
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

void Parser::ReadLines()
{
    while (!ReadScriptBreak())
    {
        curlineTokens.clear();
        std::wstring line;
        std::getline(m_infile, line);
        curlineTokens = NHelper::Tokenize(line);
        if (!curlineTokens.empty())
        {
            const int next = ParseTokens(line, curlineTokens, false);
            if (next != readlineno)
                ReadScriptJumpedToLine(next);
        }
        ++readlineno;
        if (m_ParserState == SYNC_EXEC)
            continue;
        if (lineContext::Editing())
            m_ParserState = PARSE_CONT;
    }
}

void Parser::ReadScript(int untilLine)
{
    if (GameOver() || m_ParserState == PARSE_STOP)
        return;
    const auto start = Clock::Now();
    readUntilLine = untilLine;
    ++readlineno;
    curlineTokens.clear();
    PrepareRead();
    ReadLines();
    if (curlineTokens.size() == 1 && curlineTokens.front() == L"script_fin")
        m_ParserState = PARSE_SCRIPT_FIN;
    --readlineno;
    if (GameOver())
        return;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::Now() - start).count();
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
    if (m_ParserState == PARSE_CONT)
    {
        OutputDebugStringN(L"[AutoContScript_ifNeeded] PARSE_CONT: AUTO CONTINUE SCRIPT. start_readlineno:%i \n",
                           readlineno);
        ReadScript(-1);
    }
}

} // namespace zel
