// The novel check: the files of the folder and its archives, the scripts read line by line as the reader reads
// them (text mode, comments, quotes, the full stop, bookmarks), what the lines name looked up afterwards, and the
// report as text or JSON.

#include "script/NovelLint.h"

#include "resources/NHelper.h"
#include "script/NovelCommands.h"
#include "script/Parser.h"

#include <physfs.h>
#include <pugixml.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>

namespace zel
{
namespace
{
/// The line (from 1) that holds a byte offset of a script's text.
int LineOfOffset(const std::string& bytes, std::size_t offset)
{
    return 1 + static_cast<int>(std::count(bytes.begin(), bytes.begin() + static_cast<long>(offset), '\n'));
}

/// The lines of a script as the reader reads them: split at line feeds, the text ending at a NUL.
std::vector<std::wstring> SplitLines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    const std::wstring_view whole(text.c_str());
    std::size_t start = 0;
    while (start < whole.size())
    {
        const std::size_t end = std::min(whole.find(L'\n', start), whole.size());
        lines.emplace_back(whole.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

/// The line (from 1) of an element of an XML file that pugixml read from path.
int LineOfElement(const std::string& path, const pugi::xml_node& element)
{
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::ptrdiff_t offset = element.offset_debug();
    return offset < 0 ? 0 : LineOfOffset(bytes, std::min(bytes.size(), static_cast<std::size_t>(offset)));
}

void AppendJsonString(std::wstring& out, const std::wstring& text)
{
    out += L'"';
    for (wchar_t c : text)
    {
        if (c == L'"' || c == L'\\')
            out.append(1, L'\\').append(1, c);
        else if (c < 0x20)
        {
            wchar_t escaped[8];
            std::swprintf(escaped, 8, L"\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        }
        else
            out += c;
    }
    out += L'"';
}
} // namespace

// The novel's files.

NovelFiles::NovelFiles(const std::string& novelFolder)
{
    if (!PHYSFS_isInit())
    {
        if (PHYSFS_init(nullptr) == 0)
            return;
        m_ownsFileSystem = true;
    }
    const SystemVariables paths;
    std::vector<std::string> roots{novelFolder};
    for (const DataPath& dataPath : paths.dataPaths)
        roots.push_back(novelFolder + "/" + NHelper::ws2s(dataPath.archive));
    // A running engine may have mounted the novel already: then its mounts are used as they are, and kept.
    for (const std::string& root : roots)
        if (std::filesystem::exists(root) && PHYSFS_getMountPoint(root.c_str()) == nullptr &&
            PHYSFS_mount(root.c_str(), nullptr, 1) != 0)
            m_mounted.push_back(root);
    for (const DataPath& dataPath : paths.dataPaths)
        List(NHelper::ws2s(dataPath.folder.substr(0, dataPath.folder.size() - 1)));
}

NovelFiles::~NovelFiles()
{
    for (const std::string& root : m_mounted)
        PHYSFS_unmount(root.c_str());
    if (m_ownsFileSystem)
        PHYSFS_deinit();
}

void NovelFiles::List(const std::string& directory)
{
    char** names = PHYSFS_enumerateFiles(directory.c_str());
    if (names == nullptr)
        return;
    for (char** name = names; *name != nullptr; ++name)
    {
        const std::string path = directory + "/" + *name;
        PHYSFS_Stat stat{};
        if (PHYSFS_stat(path.c_str(), &stat) != 0 && stat.filetype == PHYSFS_FILETYPE_DIRECTORY)
        {
            List(path);
            continue;
        }
        const std::wstring wide = NHelper::s2ws(path);
        m_files.insert(wide);
        m_byLowerCase.emplace(NHelper::LowerCase(wide), wide);
    }
    PHYSFS_freeList(names);
}

std::wstring NovelFiles::CaseTwin(const std::wstring& path) const
{
    auto twin = m_byLowerCase.find(NHelper::LowerCase(path));
    return twin == m_byLowerCase.end() ? std::wstring() : twin->second;
}

std::vector<std::wstring> NovelFiles::Under(const std::wstring& folder) const
{
    std::vector<std::wstring> found;
    for (auto it = m_files.lower_bound(folder); it != m_files.end() && NHelper::StartsWith(*it, folder); ++it)
        found.push_back(*it);
    return found;
}

bool NovelFiles::Read(const std::wstring& path, std::string& bytes) const
{
    PHYSFS_File* file = PHYSFS_openRead(NHelper::ws2s(path).c_str());
    if (file == nullptr)
        return false;
    const PHYSFS_sint64 length = PHYSFS_fileLength(file);
    bytes.assign(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    const bool read = length >= 0 && PHYSFS_readBytes(file, bytes.data(), bytes.size()) == length;
    PHYSFS_close(file);
    return read;
}

// The check.

NovelLint::NovelLint(const LintRequest& request)
    : m_request(request), m_commands(std::make_unique<NovelCommands>((request.novelFolder + "/Commands.xml").c_str()))
{
    m_variables.insert(L"msg_str"); // the engine puts the message box's question there
}

NovelLint::~NovelLint() = default;

std::vector<LintProblem> NovelLint::Run()
{
    m_files = std::make_unique<NovelFiles>(m_request.novelFolder);
    LoadScripts();
    if (m_scriptsByName.count(m_request.mainScript) == 0)
        m_problems.push_back({m_paths.dataPaths[DATA_SCRIPTS].folder + m_request.mainScript, 0, true,
                              L"the player starts with this script, and neither Scripts/ nor Scripts.vndat has it"});
    for (const auto& script : m_scripts)
        ReadScript(*script);
    CheckUses();
    CheckConfig();
    std::stable_sort(m_problems.begin(), m_problems.end(), [](const LintProblem& a, const LintProblem& b) {
        return a.file != b.file ? a.file < b.file : a.line < b.line;
    });
    m_files.reset();
    return m_problems;
}

void NovelLint::LoadScripts()
{
    const std::wstring& folder = m_paths.dataPaths[DATA_SCRIPTS].folder;
    std::vector<std::wstring> paths = m_files->Under(folder);
    const std::wstring edited = folder + m_request.editedScript;
    if (!m_request.editedScript.empty() && !m_files->Exists(edited))
        paths.push_back(edited);
    for (const std::wstring& path : paths)
    {
        if (path.size() < 4 || path.compare(path.size() - 4, 4, L".txt") != 0)
            continue;
        auto script = std::make_unique<Script>();
        script->name = path.substr(folder.size());
        std::wstring text;
        if (script->name == m_request.editedScript)
            text = m_request.editedText;
        else
        {
            std::string bytes;
            if (!m_files->Read(path, bytes))
            {
                Report({script.get(), 0}, true, L"the script cannot be read");
                continue;
            }
            CheckEncoding(path, bytes);
            text = NHelper::s2ws(bytes);
            if (NHelper::StartsWith(text, L"\uFEFF"))
                text.erase(0, 1); // warned: read on as if it were not there, so that line 1 is checked too
        }
        script->lines = SplitLines(text);
        Survey(*script);
        m_scriptsByName[script->name] = script.get();
        m_scripts.push_back(std::move(script));
    }
}

void NovelLint::CheckEncoding(const std::wstring& file, const std::string& bytes)
{
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        m_problems.push_back({file, 1, false,
                              L"a byte-order mark at byte offset 0: the engine reads it as part of the first word "
                              L"(save the script as UTF-8 without a byte-order mark)"});
    const std::size_t bad = NHelper::FirstInvalidUtf8(bytes);
    if (bad != std::string::npos)
        m_problems.push_back({file, LineOfOffset(bytes, bad), false,
                              L"invalid UTF-8 at byte offset " + std::to_wstring(bad) +
                                  L": each bad byte shows as a replacement character"});
}

void NovelLint::Survey(Script& script)
{
    const std::wstring bookmarkWord = m_commands->Keyword(L"bookmark");
    const std::wstring useTextboxWord = m_commands->Keyword(L"useTextbox");
    const std::wstring dummyWord = m_commands->Keyword(L"createDummyCG");
    for (std::size_t i = 0; i < script.lines.size(); ++i)
    {
        std::vector<std::wstring> tokens = NHelper::Tokenize(script.lines[i]);
        if (!tokens.empty() && NHelper::StartsWith(tokens.front(), L"~"))
            tokens.front().erase(0, 1);
        if (!tokens.empty() && NHelper::StartsWith(tokens.front(), L"."))
            tokens.front().erase(0, 1);
        script.choosesBox = script.choosesBox || (!tokens.empty() && tokens[0] == useTextboxWord);
        if (tokens.size() >= 2 && tokens[0] == dummyWord)
            m_madeFiles.insert(m_paths.FilePath(DATA_IMAGES, tokens[1] + L".png"));
        if (tokens.size() < 2 || tokens[0] != bookmarkWord)
            continue;
        const int line = static_cast<int>(i) + 1;
        auto [it, added] = script.bookmarks.emplace(tokens[1], Bookmark{line, tokens.size() - 2});
        if (!added)
            Report({&script, line}, false,
                   L"bookmark '" + tokens[1] + L"' is defined again (first on line " + std::to_wstring(it->second.line) +
                       L"): jumps go to the first");
    }
}

void NovelLint::ReadScript(const Script& script)
{
    m_textMode = false;
    m_boxChosen = script.name != m_request.mainScript; // a called script writes into its caller's text box
    for (std::size_t i = 0; i < script.lines.size(); ++i)
        ReadLine({&script, static_cast<int>(i) + 1}, script.lines[i]);
}

void NovelLint::ReadLine(const Place& place, const std::wstring& line)
{
    std::vector<std::wstring> tokens = Parser::LineTokens(line);
    if (tokens.empty())
        return;
    if (line.front() == L'~')
    {
        m_textMode = false;
        tokens.front().erase(0, 1);
    }
    if (m_textMode)
        return ReadVariables(place, line);
    const std::wstring* text = &line;
    std::wstring uncommented;
    if (Parser::CutComment(text, uncommented, tokens))
        return;
    Parser::MergeQuotes(tokens, nullptr);
    if (tokens.empty())
        return;
    if (Parser::IsDialogue(tokens))
    {
        if (!m_boxChosen)
            Report(place, true, L"dialogue before any text box is chosen: make one with textbox, then choose it with " +
                                    m_commands->Keyword(L"useTextbox"));
        m_boxChosen = true; // said once
        m_textMode = true;
        return ReadVariables(place, *text);
    }
    if (tokens.front() == L"script_fin" || tokens.front() == m_commands->Keyword(L"bookmark"))
        return CheckEnd(place, tokens);
    CheckCommandLine(place, std::move(tokens), L"");
}

void NovelLint::CheckEnd(const Place& place, const std::vector<std::wstring>& tokens)
{
    if (tokens.front() == L"script_fin" && place.script->name == m_request.mainScript)
        Report(place, true,
               L"script_fin in the main script: the novel stops reading here for good (it ends only a script that "
               L"another one calls with " +
                   m_commands->Keyword(L"script") + L")");
}

void NovelLint::CheckUses()
{
    std::set<std::wstring> said;
    for (const Use& use : m_textboxUses)
        if (m_textboxes.count(use.name) == 0)
            Report({use.script, use.line}, true,
                   L"no line makes the text box '" + use.name + L"' (" + m_commands->Keyword(L"textbox") + L" " +
                       use.name + L" X Y LAYER W H FONT SIZE)");
    for (const Use& use : m_variableReads)
        if (m_variables.count(use.name) == 0 && said.insert(use.name).second)
            Report({use.script, use.line}, false,
                   L"the variable '" + use.name + L"' is read, but no line sets it (" + m_commands->Keyword(L"var") +
                       L" " + use.name + L" = ...)");
}

void NovelLint::CheckConfig()
{
    const std::string path = m_request.novelFolder + "/Config.xml";
    pugi::xml_document config;
    if (!config.load_file(path.c_str()))
        return; // the engine says so itself, in a message box at its start
    const pugi::xml_node root = config.child("Harborstage");
    const std::tuple<pugi::xml_node, const char*, DataKind> named[] = {
        {root.child("Settings"), "MsgboxScript", DATA_SCRIPTS},
        {root.child("GameSettings"), "sysWaitInputIcon", DATA_IMAGES}};
    for (const auto& [element, attributeName, kind] : named)
    {
        const pugi::xml_attribute attribute = element.attribute(attributeName);
        const std::wstring name = NHelper::s2ws(attribute.as_string());
        const std::wstring file = m_paths.FilePath(kind, name);
        if (name.empty() || m_files->Exists(file) || m_madeFiles.count(file) != 0)
            continue;
        m_problems.push_back({L"Config.xml", LineOfElement(path, element), true,
                              NHelper::s2ws(attribute.name()) + L": " + file + L" is in neither " +
                                  m_paths.dataPaths[kind].folder + L" nor " + m_paths.dataPaths[kind].archive});
    }
}

void NovelLint::Report(const Place& place, bool error, const std::wstring& message)
{
    m_problems.push_back({m_paths.dataPaths[DATA_SCRIPTS].folder + place.script->name, place.line, error, message});
}

// The report.

std::wstring NovelLint::AsText(const std::vector<LintProblem>& problems)
{
    std::wstring text;
    for (const LintProblem& problem : problems)
        text += problem.file + L":" + std::to_wstring(problem.line) + (problem.error ? L": error: " : L": warning: ") +
                problem.message + L"\n";
    return text;
}

std::wstring NovelLint::AsJson(const std::vector<LintProblem>& problems)
{
    std::wstring json = L"[";
    for (const LintProblem& problem : problems)
    {
        json += json.size() > 1 ? L",\n {\"file\": " : L"\n {\"file\": ";
        AppendJsonString(json, problem.file);
        json += L", \"line\": " + std::to_wstring(problem.line) + L", \"severity\": " +
                (problem.error ? L"\"error\"" : L"\"warning\"") + L", \"message\": ";
        AppendJsonString(json, problem.message);
        json += L"}";
    }
    return json + (problems.empty() ? L"]\n" : L"\n]\n");
}

int NovelLint::ErrorCount(const std::vector<LintProblem>& problems)
{
    return static_cast<int>(
        std::count_if(problems.begin(), problems.end(), [](const LintProblem& problem) { return problem.error; }));
}

} // namespace zel
