#pragma once
// Reads one script line by line and hands each line to the command dispatch. The parsers of the running scripts
// form the parser stack (NParser); only the top one reads.

#include "entities/LineValue.h"

#include <chrono>
#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace zel
{

class NovelCommand;

enum ParserState : std::uint8_t
{
    PARSE_STOP = 0,
    PARSE_CONT = 1,
    PARSE_FIN = 2,
    PARSE_SCRIPT_FIN = 3,
    SYNC_EXEC = 4,
    WAIT_BTNSEL = 5,
    WAIT_MSGBOXSEL = 6
};

/// Who pushed a parser: the host's main script, the script command, or the message box.
enum ParserKind : std::uint8_t
{
    PARSER_MAIN = 1,
    PARSER_SCRIPT = 2,
    PARSER_MSGBOX = 5
};

/// A text line's arguments in the order the text-box setup takes them.
struct TextLine
{
    bool useCamera = true;
    std::vector<std::wstring> tokens; ///< 15 entries; empty when the line has fewer than 8 tokens
};

/// Expands "text NAME X Y LAYER FONT SIZE [noCamera word] 'words ...'" into the text-box setup's arguments.
TextLine ExpandTextLine(const std::vector<std::wstring>& tokens, const std::wstring& noCameraWord);

class Parser
{
public:
    Parser(std::wstring name, const std::wstring& text, std::uint8_t kind);
    ~Parser();
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    /// The editor hands over new or edited text; a new name resets the script state.
    void setScriptText(const std::wstring& name, const std::wstring& text, bool reset);
    /// Reads lines until a command asks to wait, the script ends, or untilLine (-1: no limit) has been read.
    void ReadScript(int untilLine);
    /// True when reading must stop before the next line.
    bool ReadScriptBreak();
    void ReadScriptJumpedToLine(int line);
    /// Once per frame while playing: ends a finished timed wait and continues a script that may go on.
    void AutoContScript_ifNeeded();
    /// Makes line the next line read; while editing, the main parser first removes what lines >= line created.
    void GotoLine(int line);
    /// Places a stream at the start of line (1-based; 0 is the start as well).
    static bool SeekToLine(std::wstringstream& stream, int line);
    /// Finds the first bookmark of that name and places reading after it; its line, or -1 with the reading
    /// position left where it was.
    int GotoBookmark(const std::wstring& name);
    /// Switches this parser to another script file, at a bookmark or (bookmark "") at the start; a script that
    /// cannot be read leaves the parser as it was and returns false.
    bool GoToScript(const std::wstring& script, const std::wstring& bookmark);
    /// Adds script variables (names beginning with "_") with empty values.
    void DeclareScriptVars(const std::vector<std::wstring>& names);
    /// Gives the declared script variables their values, in order.
    void PushScriptVarNames(const std::vector<std::wstring>& values);

    /// The words of a script line as read. A line of dialogue comes with its quoted words joined already, as
    /// ParseTokens would join them, so that reading it makes one string instead of one per word.
    static std::vector<std::wstring> LineTokens(const std::wstring& line);
    /// A comment after a command is cut off: line then points at uncommented, and the tokens are split again.
    /// True when the whole line is a comment.
    static bool CutComment(const std::wstring*& line, std::wstring& uncommented, std::vector<std::wstring>& tokens);
    /// Joins quoted words into one token; with a parser to substitute from, also puts in its variables.
    static void MergeQuotes(std::vector<std::wstring>& tokens, const Parser* substituteFrom);
    /// True for a line whose first word starts with a double quotation mark or "-\"": dialogue.
    static bool IsDialogue(const std::vector<std::wstring>& tokens);
    /// True for a bookmark line's or a called script's end mark's first word: never a command.
    static bool IsPlaceMark(const std::wstring& word);
    /// Runs the tokens of one line as a command; returns the line that reading continues from.
    int ParseTokens(const std::wstring& line, std::vector<std::wstring>& tokens, bool fromTrigger);
    /// Replaces "{{name}}" in a token: script variables in place, a global variable as the whole token.
    std::wstring SubstituteVariables(const std::wstring& token) const;

    /// The script word of the bookmark command.
    static std::wstring BookmarkWord();

    /// True while some parser is inside ReadScript: text boxes then keep showing what they showed before the read.
    static bool Reading() { return s_readDepth > 0; }

    /// The text mode in force: every line is dialogue while it is on.
    bool TextMode() { return textModeRecord.get(false); }

    bool isMain() const { return parserKind == PARSER_MAIN; }
    bool atEnd();
    /// A called script has finished: it read "script_fin", or it read its last line and waits for nothing.
    bool Finished();

    std::int32_t stackIndex = -1;
    std::int32_t readlineno = 0;
    std::int32_t readUntilLine = 0;
    std::vector<std::wstring> curlineTokens;
    std::int32_t refline = 0;
    std::wstring scriptName;
    std::wstringstream m_infile;
    std::vector<std::pair<std::wstring, std::wstring>> m_script_vars;
    LineValue<bool> textModeRecord{false};
    std::uint8_t m_ParserState = PARSE_FIN;
    std::uint8_t parserKind = PARSER_MAIN;
    std::chrono::steady_clock::time_point syncStart{};
    std::chrono::milliseconds syncDuration{0};
    std::int32_t syncLine = 0;

private:
    /// This parser began the log's repeat count (see CountLoopLogLines).
    bool m_countsLogRepeats = false;
    /// The last read stopped at its share of one update, not at a wait: the script goes on in the next update.
    bool m_readShareUsed = false;
    /// This read went back to an earlier line: from then on its time counts as well as its lines.
    bool m_wentBack = false;

    static int s_readDepth;

    void PrepareRead();
    /// Reads until the script waits, ends or hands over, or (playing) until one update has read its share; returns
    /// the number of lines read.
    int ReadLines();
    /// Playing: true (logged) when this read has taken as many lines or as long as one update may.
    bool ReadShareUsed(int lines, std::chrono::steady_clock::time_point start);
    /// Reading went back to a line read before: a loop, whose log lines are written once with a count.
    void CountLoopLogLines();
    void EndLoopLogCount();
    void ResetEditorSysVars();
    void ReplaceText(const std::wstring& text);
    /// Editing: forgets the text-mode changes of lines after the main line.
    void PruneTextModeWhileEditing();
    /// Bookmark search and script entry start from a clean slate: text mode off, default button images unset.
    void ResetSearchState();

    // Steps of ParseTokens.
    bool RunTextMode(const std::wstring& line, std::vector<std::wstring>& tokens);
    int RunCommand(const NovelCommand& command, const std::wstring& line, std::vector<std::wstring>& tokens, bool& sync,
                   int& duration);
    void StartTimedWait(bool sync, int duration);
};

} // namespace zel
