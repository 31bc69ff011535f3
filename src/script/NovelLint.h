#pragma once
// The author's check of a whole novel without running it: every script under Scripts/ (folder and archive) read
// with the engine's own line rules and command table in the novel's vocabulary, and what the lines name (files,
// scripts, bookmarks, text boxes, variables) looked up. Nothing is logged and nothing in the novel is written.

#include "core/NovelState.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace zel
{

class NovelCommand;
class NovelCommands;

struct LintProblem
{
    std::wstring file; ///< relative to the novel folder ("Scripts/main.txt")
    int line = 0;      ///< from 1; 0 for the file as a whole
    bool error = true; ///< else a warning
    std::wstring message;
};

/// What to check: the novel folder, the script the player starts with, and optionally the text an editor holds
/// for one script in place of the file's.
struct LintRequest
{
    std::string novelFolder;
    std::wstring mainScript = L"main.txt";
    std::wstring editedScript;
    std::wstring editedText;
};

/// The files of one novel, in its folders and archives alike, as the engine's file system sees them.
class NovelFiles
{
public:
    /// Reads the listings of the folder and its archives ("" when the folder is missing).
    explicit NovelFiles(const std::string& novelFolder);
    ~NovelFiles();
    NovelFiles(const NovelFiles&) = delete;
    NovelFiles& operator=(const NovelFiles&) = delete;

    bool Exists(const std::wstring& path) const { return m_files.count(path) != 0; }
    /// The file whose path differs from path only in letter case ("" when there is none).
    std::wstring CaseTwin(const std::wstring& path) const;
    /// Every file under a folder ("Scripts/"), in name order.
    std::vector<std::wstring> Under(const std::wstring& folder) const;
    /// The bytes of a file; false when it cannot be read.
    bool Read(const std::wstring& path, std::string& bytes) const;

private:
    void List(const std::string& directory);

    std::vector<std::string> m_mounted; ///< what this listing mounted, and unmounts again
    bool m_ownsFileSystem = false;
    std::set<std::wstring> m_files;
    std::map<std::wstring, std::wstring> m_byLowerCase;
};

class NovelLint
{
public:
    explicit NovelLint(const LintRequest& request);
    ~NovelLint();

    /// Every problem, ordered by file and line.
    std::vector<LintProblem> Run();

    /// "FILE:LINE: error: MESSAGE" lines.
    static std::wstring AsText(const std::vector<LintProblem>& problems);
    /// A JSON array of {"file", "line", "severity", "message"} objects.
    static std::wstring AsJson(const std::vector<LintProblem>& problems);
    static int ErrorCount(const std::vector<LintProblem>& problems);

private:
    struct Bookmark
    {
        int line = 0;
        std::size_t scriptVars = 0;
    };
    struct Script
    {
        std::wstring name; ///< as scripts name it: the path under Scripts/
        std::vector<std::wstring> lines;
        std::map<std::wstring, Bookmark> bookmarks;
        bool choosesBox = false; ///< has a useTextbox line
    };
    /// A name a line uses that another line elsewhere must define (a text box, a variable, a bookmark).
    struct Use
    {
        const Script* script;
        int line;
        std::wstring name;
    };
    /// Where a line is checked: its script and number.
    struct Place
    {
        const Script* script;
        int line;
    };

    // Reading (NovelLint.cpp).
    void LoadScripts();
    void CheckEncoding(const std::wstring& file, const std::string& bytes);
    /// What a script offers the others before any line is checked: its bookmarks, whether it chooses a text
    /// box, the pictures it draws with createDummyCG.
    void Survey(Script& script);
    void ReadScript(const Script& script);
    void ReadLine(const Place& place, const std::wstring& line);
    void CheckEnd(const Place& place, const std::vector<std::wstring>& tokens);
    void CheckUses();
    /// The message-box script and the wait icon that Config.xml names.
    void CheckConfig();
    void Report(const Place& place, bool error, const std::wstring& message);

    // Command lines (NovelLint_Commands.cpp).
    /// Checks a command line's words; nested: the line a trigger, button, timer or question runs.
    void CheckCommandLine(const Place& place, std::vector<std::wstring> tokens, const std::wstring& nestedIn);
    /// The line that a command's words carry from position from on, run later by a trigger, button or timer.
    void CheckNestedLine(const Place& place, const std::vector<std::wstring>& tokens, std::size_t from);
    void UnknownCommand(const Place& place, const std::vector<std::wstring>& tokens, const std::wstring& nestedIn);
    std::wstring NearestKeyword(const std::wstring& word) const;
    void CheckArguments(const Place& place, const NovelCommand& command, const std::vector<std::wstring>& tokens);
    /// The commands whose words follow no table row.
    void CheckSpecial(const Place& place, const NovelCommand& command, const std::vector<std::wstring>& tokens);
    void CheckNumbers(const Place& place, const std::vector<std::wstring>& tokens,
                      const std::vector<std::size_t>& positions);
    void CheckFile(const Place& place, DataKind kind, const std::wstring& name);
    void CheckTarget(const Place& place, const std::wstring& script, const std::wstring& bookmark,
                     std::size_t values);
    void CheckButton(const Place& place, const std::vector<std::wstring>& tokens);
    void CheckKey(const Place& place, const std::wstring& key);
    void CheckTween(const Place& place, const NovelCommand& command, const std::vector<std::wstring>& tokens);
    void CheckVar(const Place& place, const std::vector<std::wstring>& tokens);
    void CheckIf(const Place& place, const std::vector<std::wstring>& tokens);
    void CheckJumpOrScript(const Place& place, const NovelCommand& command, const std::vector<std::wstring>& tokens);
    void ReadVariables(const Place& place, const std::wstring& text);
    void ReadVariable(const Place& place, const std::wstring& name);
    bool IsWord(const std::wstring& token, const wchar_t* key) const;

    LintRequest m_request;
    std::unique_ptr<NovelCommands> m_commands;
    std::unique_ptr<NovelFiles> m_files;
    SystemVariables m_paths;
    std::vector<std::unique_ptr<Script>> m_scripts;
    std::map<std::wstring, const Script*> m_scriptsByName;
    std::vector<LintProblem> m_problems;
    std::set<std::wstring> m_madeFiles; ///< pictures that createDummyCG lines draw
    std::set<std::wstring> m_textboxes;  ///< made by textbox or text lines
    std::set<std::wstring> m_variables;  ///< set by var lines (and by the engine)
    std::vector<Use> m_textboxUses;      ///< useTextbox and backlogConfig
    std::vector<Use> m_variableReads;
    bool m_textMode = false;  ///< of the script being read, from the top down
    bool m_boxChosen = false; ///< a text box is chosen before the line being read
};

} // namespace zel
