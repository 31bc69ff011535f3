#pragma once
// The command table: every script command with its token limits, match form and handler, asked in one fixed chain
// order, and the vocabulary (the script words and texts that Commands.xml assigns to the engine's keys).

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace zel
{

class Parser;

/// How ParseTokens reads what a handler returns.
enum class CommandResult : std::uint8_t
{
    NOTHING,  ///< the value is ignored
    DURATION, ///< milliseconds of a timed wait when the line runs synchronously
    LINE,     ///< a line to continue reading from; 0 = no jump
    WAIT      ///< a duration that always runs synchronously, or -1 for none
};

/// What one command execution works on.
struct CommandCall
{
    Parser& parser;
    const std::wstring& line;          ///< the line as read, less a trailing comment
    std::vector<std::wstring>& tokens; ///< quotes merged, variables substituted, sync prefix removed
    bool sync;                         ///< the keyword carried the leading full stop
};

using CommandHandler = std::function<int(CommandCall&)>;

class NovelCommand
{
public:
    enum Match : std::uint8_t
    {
        EXACT,
        PREFIX
    };

    NovelCommand(std::wstring internalName, int min, int max, Match match);
    NovelCommand(const NovelCommand&) = delete; // the validator refers to this very command
    NovelCommand& operator=(const NovelCommand&) = delete;

    /// The match test on a token list: keyword and token count.
    bool Accepts(const std::vector<std::wstring>& tokens) const;

    std::wstring name; ///< internal name, fixed
    std::int32_t minTokens;
    std::int32_t maxTokens;
    std::wstring keyword;
    Match match;
    /// Position in the dispatch chain, from 1; 0 for a command that is never dispatched (bookmark).
    int order = 0;
    CommandResult result = CommandResult::NOTHING;
    bool alwaysSync = false;  ///< runs synchronously without the full stop
    bool playingOnly = false; ///< consumes its line without running while editing
    bool textModeOn = false;  ///< a dialogue line: switches text mode on after its handler
    CommandHandler handler;   ///< empty while no handler is bound: the line is consumed and nothing runs
    /// The match test as the chain asks it: on the current parser's tokens.
    std::function<bool()> validator;
};

class NovelCommands
{
public:
    /// Builds every command in table order, then reads the vocabulary from Commands.xml in the current folder.
    NovelCommands();
    /// The same with the vocabulary of another file, for the author tools: this table logs nothing.
    explicit NovelCommands(const char* vocabularyPath);
    ~NovelCommands();
    NovelCommands(const NovelCommands&) = delete;
    NovelCommands& operator=(const NovelCommands&) = delete;

    /// Script word or text for a vocabulary key ("Types_bg", "Msg_endGame", ...); empty when the key is not set,
    /// so a type or option without a word is never recognised.
    std::wstring Word(const std::wstring& key) const;
    /// True when token is the script word of that key (a key without a word matches nothing).
    bool IsWord(const std::wstring& token, const std::wstring& key) const;

    /// The command by internal name, or null.
    NovelCommand* Command(const std::wstring& internalName) const;
    /// The keyword of a command by internal name ("" for an unknown name).
    std::wstring Keyword(const std::wstring& internalName) const;

    /// For the keyword of a command that takes a fixed range of words: "takes 6 to 8 words, has 4" (the keyword
    /// counts); "" for any other word.
    std::wstring WordCount(const std::wstring& keyword, std::size_t has) const;

    /// The command whose line this is: the first in chain order that accepts the tokens, or null.
    const NovelCommand* Find(const std::vector<std::wstring>& tokens) const;
    /// The same answer, found by asking every validator in chain order.
    const NovelCommand* FindByValidators() const;

    /// Reads the vocabulary file; entries add to what is already there.
    void LoadVocabulary(const char* path);
    /// Sets a command's keyword, keeping the keyword lookup in step.
    void SetKeyword(const std::wstring& internalName, const std::wstring& word);

    std::map<std::wstring, std::wstring> commandStrings;
    std::map<std::wstring, std::shared_ptr<NovelCommand>> commandsByName;

private:
    /// Enters a command by name and, when dispatched, in the chain; RebuildIndex must follow.
    void Add(std::shared_ptr<NovelCommand> command);
    void RebuildIndex();

    bool m_logs = true;
    std::vector<NovelCommand*> m_chain;       ///< the dispatched commands in chain order
    std::vector<NovelCommand*> m_prefixChain; ///< the prefix commands in chain order
    std::unordered_map<std::wstring, std::vector<NovelCommand*>> m_exactByKeyword; ///< each in chain order
};

} // namespace zel
