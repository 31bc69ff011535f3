// One script line to one command: text mode, comments, quoted arguments, variables, the synchronous prefix, the
// dispatch through the command table and the timed wait that a synchronous command asks for.

#include "script/Parser.h"

#include "core/Assert.h"
#include "core/Clock.h"
#include "core/Services.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"
#include "script/NovelCommands.h"

namespace zel
{
namespace
{
const std::wstring kQuote = L"\"";
const std::wstring kDashQuote = L"-\"";

bool IsQuoteChar(wchar_t c)
{
    return c == L'\'' || c == L'"';
}

/// For a known command word given too few or too many words: how many it takes, the command word included.
std::wstring WordCountHint(const std::vector<std::wstring>& tokens)
{
    const std::wstring count = Services::pNCommands->WordCount(tokens.front(), tokens.size());
    return count.empty() ? count : L". " + count;
}

/// Finds a variable by name in a list of (name, value) pairs.
const std::wstring* FindScriptVar(const std::vector<std::pair<std::wstring, std::wstring>>& vars,
                                  const std::wstring& name)
{
    for (const auto& var : vars)
        if (var.first == name)
            return &var.second;
    return nullptr;
}
} // namespace

// A dialogue line goes to its handler as read, and the text box puts in the variables. Its words are not
// substituted here: a variable that stands first would replace the whole word, quote mark and all, and the line
// would no longer be dialogue.
bool Parser::IsDialogue(const std::vector<std::wstring>& tokens)
{
    return !tokens.empty() &&
           (NHelper::StartsWith(tokens.front(), kQuote) || NHelper::StartsWith(tokens.front(), kDashQuote));
}

bool Parser::IsPlaceMark(const std::wstring& word)
{
    return word == Parser::BookmarkWord() || word == L"script_fin";
}

std::vector<std::wstring> Parser::LineTokens(const std::wstring& line)
{
    // Dialogue is told by its first word, seen as ParseTokens sees it: without the "~" that begins the line.
    const std::size_t skipped = !line.empty() && line.front() == L'~' ? 1 : 0;
    const std::size_t first = line.find_first_not_of(L" \t", skipped);
    const bool dialogue = first == skipped && first < line.size() &&
                          (line[first] == L'"' || line.compare(first, kDashQuote.size(), kDashQuote) == 0);
    if (!dialogue)
        return NHelper::Tokenize(line);
    std::vector<std::wstring> tokens;
    bool inQuotes = false;
    std::size_t pos = 0;
    std::size_t start = 0;
    while (NHelper::NextWord(line, pos, start))
    {
        if (inQuotes)
            tokens.back().append(1, L' ').append(line, start, pos - start);
        else
        {
            inQuotes = IsQuoteChar(line[tokens.empty() ? start + skipped : start]);
            if (inQuotes) // the quotation's words follow: room for them all
                tokens.emplace_back().reserve(line.size() - start);
            else
                tokens.emplace_back();
            tokens.back().assign(line, start, pos - start);
        }
        if (inQuotes && IsQuoteChar(line[pos - 1]))
            inQuotes = false;
    }
    return tokens;
}

int Parser::ParseTokens(const std::wstring& rawLine, std::vector<std::wstring>& tokens, bool fromTrigger)
{
    if (!QH_ASSERT(Services::pNCommands != nullptr, L"zel::Services::pNCommands != nullptr", L"Parser_Parse", 13))
        return readlineno;
    std::vector<std::wstring> storedTokens;
    std::vector<std::wstring>* work = &tokens;
    if (tokens.empty())
    {
        OutputDebugStringN(L"WARNING. [Parser::ParseTokens] parseTokens.size() == 0. using Parser.curlineTokens \n");
        storedTokens = curlineTokens;
        if (storedTokens.empty())
            return readlineno;
        work = &storedTokens;
    }
    const std::wstring* line = &rawLine;
    std::wstring uncommented;
    if (!fromTrigger && RunTextMode(*line, *work))
        return readlineno;
    if (CutComment(line, uncommented, *work))
        return readlineno;
    MergeQuotes(*work, IsDialogue(*work) ? nullptr : this);
    bool sync = false;
    if (!work->empty() && NHelper::StartsWith(work->front(), L"."))
    {
        OutputDebugStringN(L"[ParseTokens] SYNC COMMAND wants to be executed \n");
        work->front().erase(0, 1);
        sync = true;
    }
    int duration = 0;
    if (const NovelCommand* command = Services::pNCommands->Find(*work))
    {
        const int jumpLine = RunCommand(*command, *line, *work, sync, duration);
        if (jumpLine != 0)
            return jumpLine;
    }
    else if (!work->empty() && !IsPlaceMark(work->front()))
        OutputDebugStringN(L"WARNING. [ParseTokens] UNKNOWN or INVALID COMMAND:'%s' script-name:%s curline:%i%s \n",
                           work->front().c_str(), scriptName.c_str(), readlineno, WordCountHint(*work).c_str());
    StartTimedWait(sync, duration);
    return readlineno;
}

bool Parser::RunTextMode(const std::wstring& line, std::vector<std::wstring>& tokens)
{
    // The text-mode records after the main line were forgotten by the reader just before this line.
    if (!line.empty() && line.front() == L'~')
    {
        if (TextMode()) // recording "off" over "off" would change nothing but cost a record per line
            textModeRecord.set(false, false);
        if (!tokens.empty() && !tokens.front().empty())
            tokens.front().erase(0, 1);
    }
    if (!TextMode())
        return false;
    const NovelCommand* quote = Services::pNCommands->Command(kQuote);
    const NovelCommand* dashQuote = Services::pNCommands->Command(kDashQuote);
    bool sync = false;
    int duration = 0;
    if (NHelper::StartsWith(line, kQuote))
        RunCommand(*quote, line, tokens, sync, duration);
    else if (NHelper::StartsWith(line, kDashQuote))
        RunCommand(*dashQuote, line, tokens, sync, duration);
    else
        RunCommand(*dashQuote, kDashQuote + line, tokens, sync, duration);
    return true;
}

bool Parser::CutComment(const std::wstring*& line, std::wstring& uncommented, std::vector<std::wstring>& tokens)
{
    const std::wstring& text = *line;
    const std::size_t slashes = text.find(L"//");
    if (slashes != std::wstring::npos && slashes >= 2)
    {
        uncommented = text.front() == L'~' ? text.substr(1, slashes - 1) : text.substr(0, slashes);
        line = &uncommented;
        tokens = NHelper::Tokenize(uncommented);
    }
    return line->size() >= 2 && (NHelper::StartsWith(*line, L"//") || NHelper::StartsWith(*line, L"~//"));
}

namespace
{
/// True when no token opens a quote or holds a variable, so merging would give the same list back.
bool NothingToMerge(const std::vector<std::wstring>& tokens)
{
    for (const std::wstring& token : tokens)
        if ((!token.empty() && IsQuoteChar(token.front())) || token.find(L"{{") != std::wstring::npos)
            return false;
    return true;
}
} // namespace

void Parser::MergeQuotes(std::vector<std::wstring>& tokens, const Parser* substituteFrom)
{
    if (NothingToMerge(tokens))
        return;
    const bool substitute = substituteFrom != nullptr;
    // A token's value: its variables substituted (when asked and it has any), else the token itself, moved.
    auto value = [substituteFrom](std::wstring& token) {
        return substituteFrom != nullptr && token.find(L"{{") != std::wstring::npos
                   ? substituteFrom->SubstituteVariables(token)
                   : std::move(token);
    };
    // Merged in place: each token is moved down to where the merged list has got to.
    std::size_t merged = 0;
    bool inQuotes = false;
    for (std::wstring& token : tokens)
    {
        const bool opens = !token.empty() && IsQuoteChar(token.front());
        const bool closes = !token.empty() && IsQuoteChar(token.back());
        if (inQuotes)
            tokens[merged - 1].append(1, L' ').append(value(token));
        else
        {
            if (&tokens[merged] != &token || (substitute && token.find(L"{{") != std::wstring::npos))
                tokens[merged] = value(token);
            ++merged;
            inQuotes = opens;
        }
        if (inQuotes && closes)
            inQuotes = false;
    }
    tokens.resize(merged);
}

int Parser::RunCommand(const NovelCommand& command, const std::wstring& line, std::vector<std::wstring>& tokens,
                       bool& sync, int& duration)
{
    if (command.playingOnly && lineContext::Editing())
        return 0;
    if (command.alwaysSync)
        sync = true;
    int jumpLine = 0;
    if (command.handler)
    {
        CommandCall call{*this, line, tokens, sync};
        const int value = command.handler(call);
        switch (command.result)
        {
        case CommandResult::LINE:
            jumpLine = value;
            break;
        case CommandResult::WAIT:
            if (value != -1)
            {
                sync = true;
                duration = value;
            }
            break;
        case CommandResult::DURATION:
            duration = value;
            break;
        case CommandResult::NOTHING:
            break;
        }
    }
    if (command.textModeOn)
        textModeRecord.set(true, false);
    return jumpLine;
}

void Parser::StartTimedWait(bool sync, int duration)
{
    const SystemVariables* sysVars = Services::SysVars();
    if (sysVars == nullptr || !sync || duration < 1 || Services::Skipping())
        return;
    const bool playing = sysVars->gameMode == 1;
    if (!playing && !sysVars->tweenAnimationDisplay)
        return;
    syncStart = Clock::Now();
    syncDuration = std::chrono::milliseconds(duration);
    syncLine = readlineno;
    if (playing)
        m_ParserState = SYNC_EXEC;
}

std::wstring Parser::SubstituteVariables(const std::wstring& token) const
{
    std::wstring result = token;
    const SystemVariables* sysVars = Services::SysVars();
    std::size_t open = result.find(L"{{");
    while (open != std::wstring::npos)
    {
        const std::size_t close = result.find(L"}}", open + 2);
        if (close == std::wstring::npos)
            break;
        const std::wstring name = result.substr(open + 2, close - open - 2);
        std::size_t next = open + 1;
        if (!name.empty() && name.front() == L'_')
            if (const std::wstring* value = FindScriptVar(m_script_vars, name))
            {
                result = result.substr(0, open) + *value + result.substr(close + 2);
                next = open + value->size(); // a value is not searched again, so it cannot expand itself forever
            }
        if (sysVars != nullptr)
        {
            auto global = sysVars->variables.find(name);
            if (global != sysVars->variables.end())
            {
                result = global->second;
                next = open + 1;
            }
        }
        open = result.find(L"{{", next);
    }
    return result;
}

TextLine ExpandTextLine(const std::vector<std::wstring>& tokens, const std::wstring& noCameraWord)
{
    TextLine expanded;
    if (tokens.size() < 8)
        return expanded;
    expanded.useCamera = noCameraWord.empty() || tokens[7] != noCameraWord;
    const std::size_t first = expanded.useCamera ? 7 : 8;
    std::wstring text = first < tokens.size() ? tokens[first] : std::wstring();
    if (!text.empty() && text.front() == L'\'')
        text.erase(0, 1);
    if (!text.empty() && text.back() == L'\'')
        text.pop_back();
    for (std::size_t i = first + 1; i < tokens.size(); ++i)
        text += L" " + tokens[i];
    expanded.tokens = {L"text",   tokens[1], tokens[2], tokens[3], tokens[4], L"0",     L"0", tokens[5],
                       tokens[6], L"0",      L"1",      L"1",      L"1",      L"false", text};
    return expanded;
}

} // namespace zel
