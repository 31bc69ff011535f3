#include "script/NovelCommands.h"

#include "commands/CmdHandlers.h"
#include "core/Services.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"
#include "script/Parser.h"

#include <pugixml.hpp>

#include <algorithm>

namespace zel
{
namespace
{
constexpr int ANY = -1;    ///< any number of tokens
constexpr int NO_MAX = -1; ///< no greatest number of tokens
constexpr int SAME = 0;    ///< the greatest number equals the least
constexpr int NEVER = 0;   ///< not in the dispatch chain

enum Flags : std::uint8_t
{
    NONE = 0,
    ALWAYS_SYNC = 1,
    PLAYING_ONLY = 2,
    TEXT_MODE_ON = 4
};

/// One row of the command table.
struct CommandRow
{
    const wchar_t* name;
    int minTokens;
    int maxTokens;
    int order;
    NovelCommand::Match match;
    CommandResult result;
    std::uint8_t flags;
    CommandHandler handler;
};

constexpr auto EXACT = NovelCommand::EXACT;
constexpr auto PREFIX = NovelCommand::PREFIX;
constexpr auto NOTHING = CommandResult::NOTHING;
constexpr auto DURATION = CommandResult::DURATION;

/// A handler that returns nothing.
CommandHandler Run(void (*handler)(const CmdHandlers::Tokens&))
{
    return [handler](CommandCall& call) {
        handler(call.tokens);
        return 0;
    };
}

/// A handler whose value ParseTokens reads (a duration or a line).
CommandHandler Value(int (*handler)(const CmdHandlers::Tokens&))
{
    return [handler](CommandCall& call) {
        return handler(call.tokens);
    };
}

/// An animation: its duration when the line runs synchronously.
CommandHandler Timed(int (*handler)(const CmdHandlers::Tokens&, bool))
{
    return [handler](CommandCall& call) {
        return handler(call.tokens, call.sync);
    };
}

/// A button line (system: a system button) of the running script.
CommandHandler Button(bool system)
{
    return [system](CommandCall& call) {
        CmdHandlers::ExecuteButton(call.tokens, system, L"");
        return 0;
    };
}

/// A dialogue line: the whole line as read goes to the text box (newText: the quote form, else the minus form).
CommandHandler Dialogue(bool newText)
{
    return [newText](CommandCall& call) {
        CmdHandlers::ExecuteLine(call.line, newText);
        return 0;
    };
}

/// The one place that binds each command to its handler. A row without a handler matches and consumes its line.
/// Rows stand in table order; "order" is the position in the dispatch chain.
std::vector<CommandRow> CommandTable()
{
    return {
        {L"wait", 1, NO_MAX, 34, EXACT, CommandResult::WAIT, NONE, Value(CmdHandlers::ExecuteWait)},
        {L"bookmark", ANY, NO_MAX, NEVER, EXACT, NOTHING, NONE, nullptr},
        {L"jump", 2, NO_MAX, 31, EXACT, CommandResult::LINE, NONE, Value(CmdHandlers::ExecuteJump)},
        {L"script", 2, NO_MAX, 32, EXACT, NOTHING, NONE,
         [](CommandCall& call) {
             CmdHandlers::ExecuteScript(call.tokens, PARSER_SCRIPT);
             return 0;
         }},
        {L"keyTrigger", 2, NO_MAX, 33, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteKeyTrigger)},
        {L"remove", 1, NO_MAX, 3, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteRemove)},
        {L"clear", 1, SAME, 4, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteClear)},
        {L"bg", 2, 4, 1, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteBG)},
        {L"cg", 6, 8, 2, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteCG)},
        {L"button", 5, NO_MAX, 5, EXACT, NOTHING, NONE, Button(false)},
        {L"sysButton", 5, NO_MAX, 6, EXACT, NOTHING, NONE, Button(true)},
        {L"btnText", 5, NO_MAX, 7, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteButtonText)},
        {L"btnBasicRes", 4, NO_MAX, 8, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteButtonBasicRes)},
        {L"onBtnTouch", 3, NO_MAX, 9, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteOnButtonTouch)},
        {L"btnAliveRegion", 1, SAME, 10, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteButtonAliveRegion)},
        {L"\"", ANY, NO_MAX, 11, PREFIX, NOTHING, TEXT_MODE_ON, Dialogue(true)},
        {L"-\"", ANY, NO_MAX, 12, PREFIX, NOTHING, TEXT_MODE_ON, Dialogue(false)},
        {L"~", ANY, NO_MAX, 13, PREFIX, NOTHING, NONE,
         [](CommandCall& call) {
             CmdHandlers::ExecuteTilde(call.line);
             return 0;
         }},
        {L"textbox", 9, 10, 14, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteTextarea)},
        {L"useTextbox", 2, SAME, 15, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteUseTextbox)},
        {L"textFont", 2, SAME, 16, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteTextFont)},
        {L"textSize", 2, SAME, 17, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteTextSize)},
        {L"textColour", 4, SAME, 18, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteTextColour)},
        {L"textSpeed", 2, SAME, 19, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteTextSpeed)},
        {L"textBold", 2, SAME, 20, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteTextBold)},
        {L"textShadow", 2, 5, 21, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteTextShadow)},
        {L"textboxSkin", 4, SAME, 25, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteTextboxSkin)},
        {L"textWaitIcon", 2, SAME, 26, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteTextWaitIcon)},
        {L"textWordWrap", 2, SAME, 22, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteTextWordWrap)},
        {L"textDir", 2, SAME, 23, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteTextDir)},
        {L"textAutoWait", 2, SAME, 24, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteTextAutoWait)},
        {L"textProgress", 2, SAME, 27, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteTextProgress)},
        {L"text", 8, NO_MAX, 28, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteText)},
        {L"backlogConfig", 2, SAME, 29, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteBacklogConfig)},
        {L"backlogReset", 1, SAME, 30, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteBacklogReset)},
        {L"move", 4, NO_MAX, 35, EXACT, DURATION, NONE, Timed(CmdHandlers::ExecuteMove)},
        {L"fadein", 2, NO_MAX, 36, EXACT, DURATION, NONE, Timed(CmdHandlers::ExecuteFadein)},
        {L"fadeout", 2, NO_MAX, 37, EXACT, DURATION, NONE, Timed(CmdHandlers::ExecuteFadeout)},
        {L"rotate", 3, NO_MAX, 38, EXACT, DURATION, NONE, Timed(CmdHandlers::ExecuteRotate)},
        {L"zoom", 3, NO_MAX, 39, EXACT, DURATION, NONE, Timed(CmdHandlers::ExecuteZoom)},
        {L"alpha", 3, NO_MAX, 40, EXACT, DURATION, NONE, Timed(CmdHandlers::ExecuteAlpha)},
        {L"cameraReset", 1, SAME, 41, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteCameraReset)},
        {L"layer", 3, SAME, 42, EXACT, NOTHING, NONE,
         [](CommandCall& call) {
             CmdHandlers::ExecuteLayer(call.tokens, CmdHandlers::kCurrentLayer);
             return 0;
         }},
        {L"image", 3, SAME, 43, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteImage)},
        {L"rgb", 5, 6, 44, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteRGB)},
        {L"alphaFadein", 2, 3, 45, EXACT, DURATION, ALWAYS_SYNC, Value(CmdHandlers::ExecuteAlphaFadein)},
        {L"alphaFadeout", 2, 3, 46, EXACT, DURATION, ALWAYS_SYNC, Value(CmdHandlers::ExecuteAlphaFadeout)},
        {L"bgm", 2, 3, 47, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteMusic)},
        {L"soundEffect", 3, 4, 48, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteSoundEffect)},
        {L"voice", 2, SAME, 49, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteVoice)},
        {L"volume", 3, SAME, 50, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteVolume)},
        {L"var", 4, NO_MAX, 51, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteVar)},
        {L"if", 6, 9, 52, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteVarIf)},
        {L"endGame", ANY, NO_MAX, 56, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteEndGame)},
        {L"clearRGB", 4, SAME, 57, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteClearRGB)},
        {L"trackbar", 8, NO_MAX, 58, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteTrackbar)},
        {L"dialog", 3, NO_MAX, 53, EXACT, NOTHING, PLAYING_ONLY, Run(CmdHandlers::ExecuteDialog)},
        {L"timer", 4, NO_MAX, 54, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteTimer)},
        {L"timerEnd", 2, NO_MAX, 55, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteTimerEnd)},
        {L"createDummyCG", 6, NO_MAX, 59, EXACT, NOTHING, NONE, Run(CmdHandlers::ExecuteCreateDummyCG)},
    };
}

std::shared_ptr<NovelCommand> MakeCommand(const CommandRow& row)
{
    auto command = std::make_shared<NovelCommand>(row.name, row.minTokens, row.maxTokens, row.match);
    command->order = row.order;
    command->result = row.result;
    command->alwaysSync = (row.flags & ALWAYS_SYNC) != 0;
    command->playingOnly = (row.flags & PLAYING_ONLY) != 0;
    command->textModeOn = (row.flags & TEXT_MODE_ON) != 0;
    command->handler = row.handler;
    return command;
}

std::wstring Attribute(const pugi::xml_node& node, const char* name)
{
    return NHelper::s2ws(node.attribute(name).as_string());
}

/// Adds (prefix + name -> jap) for every entry with a name; an existing key keeps its first text.
void ReadStrings(const pugi::xml_node& section, const std::wstring& prefix, std::map<std::wstring, std::wstring>& into)
{
    for (const pugi::xml_node& entry : section.children())
    {
        const std::wstring name = Attribute(entry, "name");
        if (!name.empty())
            into.emplace(prefix + name, Attribute(entry, "jap"));
    }
}
} // namespace

NovelCommand::NovelCommand(std::wstring internalName, int min, int max, Match matchForm)
    : name(internalName), minTokens(min), maxTokens(max == SAME ? min : max), keyword(std::move(internalName)),
      match(matchForm)
{
    validator = [this] {
        const std::shared_ptr<Parser> parser =
            Services::pNParser != nullptr && !Services::pNParser->m_parserDeque.empty()
                ? Services::pNParser->m_parserDeque.back()
                : nullptr;
        return parser != nullptr && Accepts(parser->curlineTokens);
    };
}

bool NovelCommand::Accepts(const std::vector<std::wstring>& tokens) const
{
    if (tokens.empty())
        return false;
    const bool keywordFits = match == EXACT ? tokens.front() == keyword : NHelper::StartsWith(tokens.front(), keyword);
    if (!keywordFits)
        return false;
    const int count = static_cast<int>(tokens.size());
    return minTokens == ANY || (count >= minTokens && (maxTokens == NO_MAX || maxTokens >= count));
}

NovelCommands::NovelCommands() : NovelCommands("Commands.xml")
{
    m_logs = true;
}

NovelCommands::NovelCommands(const char* vocabularyPath) : m_logs(false)
{
    for (const CommandRow& row : CommandTable())
        Add(MakeCommand(row));
    RebuildIndex();
    LoadVocabulary(vocabularyPath);
}

NovelCommands::~NovelCommands()
{
    if (m_logs)
        OutputDebugStringN(L"[~NovelCommands] DESTRUCTION COMPLETE\n");
}

void NovelCommands::Add(std::shared_ptr<NovelCommand> command)
{
    NovelCommand* raw = command.get();
    commandsByName.emplace(raw->name, std::move(command));
    if (raw->order != NEVER)
        m_chain.insert(
            std::upper_bound(m_chain.begin(), m_chain.end(), raw,
                             [](const NovelCommand* a, const NovelCommand* b) { return a->order < b->order; }),
            raw);
}

void NovelCommands::RebuildIndex()
{
    m_exactByKeyword.clear();
    m_prefixChain.clear();
    for (NovelCommand* command : m_chain)
        if (command->match == NovelCommand::PREFIX)
            m_prefixChain.push_back(command);
        else
            m_exactByKeyword[command->keyword].push_back(command);
}

std::wstring NovelCommands::Word(const std::wstring& key) const
{
    auto it = commandStrings.find(key);
    return it == commandStrings.end() ? std::wstring() : it->second;
}

bool NovelCommands::IsWord(const std::wstring& token, const std::wstring& key) const
{
    const std::wstring word = Word(key);
    return !word.empty() && token == word;
}

NovelCommand* NovelCommands::Command(const std::wstring& internalName) const
{
    auto it = commandsByName.find(internalName);
    return it == commandsByName.end() ? nullptr : it->second.get();
}

std::wstring NovelCommands::Keyword(const std::wstring& internalName) const
{
    const NovelCommand* command = Command(internalName);
    return command != nullptr ? command->keyword : std::wstring();
}

std::wstring NovelCommands::WordCount(const std::wstring& keyword, std::size_t has) const
{
    for (const auto& entry : commandsByName)
    {
        const NovelCommand& command = *entry.second;
        if (command.match != NovelCommand::EXACT || command.keyword != keyword || command.minTokens < 0)
            continue;
        const std::wstring most = command.maxTokens == NO_MAX              ? L" or more"
                                  : command.maxTokens == command.minTokens ? L""
                                                                           : L" to " + std::to_wstring(command.maxTokens);
        return L"takes " + std::to_wstring(command.minTokens) + most + L" words, has " + std::to_wstring(has);
    }
    return L"";
}

const NovelCommand* NovelCommands::Find(const std::vector<std::wstring>& tokens) const
{
    if (tokens.empty())
        return nullptr;
    const NovelCommand* found = nullptr;
    auto bucket = m_exactByKeyword.find(tokens.front());
    if (bucket != m_exactByKeyword.end())
        for (const NovelCommand* command : bucket->second)
            if (command->Accepts(tokens))
            {
                found = command;
                break;
            }
    for (const NovelCommand* command : m_prefixChain)
    {
        if (found != nullptr && command->order > found->order)
            break;
        if (command->Accepts(tokens))
            return command;
    }
    return found;
}

const NovelCommand* NovelCommands::FindByValidators() const
{
    for (const NovelCommand* command : m_chain)
        if (command->validator())
            return command;
    return nullptr;
}

void NovelCommands::SetKeyword(const std::wstring& internalName, const std::wstring& word)
{
    if (NovelCommand* command = Command(internalName))
    {
        command->keyword = word;
        RebuildIndex();
    }
}

void NovelCommands::LoadVocabulary(const char* path)
{
    pugi::xml_document document;
    if (!document.load_file(path))
        document.reset(); // a missing or malformed file reads as empty, not as whatever came before the fault
    const pugi::xml_node root = document.child("ScriptStrings");
    ReadStrings(root.child("DisplayStrings"), L"", commandStrings);
    for (const pugi::xml_node& entry : root.child("Commands").children())
    {
        const std::wstring cmd = Attribute(entry, "cmd");
        const std::wstring name = Attribute(entry, "name");
        if (NovelCommand* command = cmd.empty() ? nullptr : Command(cmd))
            command->keyword = name.substr(0, name.find(L' '));
    }
    RebuildIndex();
    const pugi::xml_node keywords = root.child("Keywords");
    ReadStrings(keywords.child("Types"), L"Types_", commandStrings);
    ReadStrings(keywords.child("CmdOptions"), L"CmdOptions_", commandStrings);
}

} // namespace zel
