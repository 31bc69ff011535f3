// The novel check of one command line: the command it is (or the one meant), the words that must be numbers, the
// files, scripts and bookmarks it names, the text boxes and variables it makes and reads, and the lines that
// triggers, buttons, timers and questions run later.

#include "script/NovelLint.h"

#include "commands/CmdHandlers.h"
#include "resources/NHelper.h"
#include "script/NovelCommands.h"
#include "script/Parser.h"

#include <algorithm>

namespace zel
{
namespace
{
using Tokens = std::vector<std::wstring>;

/// The words of a command that must be numbers and that name files, by position (counted from 1, keyword first).
struct ArgumentRule
{
    const wchar_t* command;
    std::vector<std::size_t> numbers;
    std::vector<std::pair<std::size_t, DataKind>> files;
};

const std::vector<ArgumentRule>& ArgumentRules()
{
    static const std::vector<ArgumentRule> rules{
        {L"cg", {4, 5, 6}, {{3, DATA_IMAGES}}},
        {L"image", {}, {{3, DATA_IMAGES}}},
        {L"btnBasicRes", {}, {{2, DATA_IMAGES}, {3, DATA_IMAGES}, {4, DATA_IMAGES}}},
        {L"btnText", {4}, {{3, DATA_FONTS}}},
        {L"textbox", {3, 4, 5, 6, 7, 9}, {{8, DATA_FONTS}}},
        {L"text", {3, 4, 5, 7}, {{6, DATA_FONTS}}},
        {L"textFont", {}, {{2, DATA_FONTS}}},
        {L"textSize", {2}, {}},
        {L"textColour", {2, 3, 4}, {}},
        {L"textSpeed", {2}, {}},
        {L"textboxSkin", {3, 4}, {{2, DATA_IMAGES}}},
        {L"textWaitIcon", {}, {{2, DATA_IMAGES}}},
        {L"textProgress", {2}, {}},
        {L"trackbar", {3, 4, 5, 6}, {{8, DATA_IMAGES}}},
        {L"layer", {3}, {}},
        {L"rgb", {3, 4, 5}, {}},
        {L"clearRGB", {2, 3, 4}, {}},
        {L"alphaFadein", {3}, {{2, DATA_IMAGES}}},
        {L"alphaFadeout", {3}, {{2, DATA_IMAGES}}},
        {L"bgm", {}, {{2, DATA_BGM}}},
        {L"soundEffect", {}, {{3, DATA_SFX}}},
        {L"voice", {}, {{2, DATA_VOICES}}},
        {L"createDummyCG", {4, 5}, {{3, DATA_FONTS}}},
        {L"timer", {3}, {}},
    };
    return rules;
}

/// The option word that a command's last word must be when it has one (the music's and a sound's repeat).
const std::vector<std::pair<const wchar_t*, std::size_t>>& RepeatPositions()
{
    static const std::vector<std::pair<const wchar_t*, std::size_t>> positions{{L"bgm", 3}, {L"soundEffect", 4}};
    return positions;
}

/// Where a line that runs later begins, for the commands that carry one.
const std::vector<std::pair<const wchar_t*, std::size_t>>& NestedLinePositions()
{
    static const std::vector<std::pair<const wchar_t*, std::size_t>> positions{
        {L"keyTrigger", 3}, {L"onBtnTouch", 3}, {L"dialog", 3}};
    return positions;
}

/// The fewest letters to insert, delete, change or swap with the next one to make b of a: "jmup" is one from "jump".
std::size_t EditDistance(const std::wstring& a, const std::wstring& b)
{
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        for (std::size_t j = 0; j <= b.size(); ++j)
        {
            if (i == 0 || j == 0)
            {
                d[i][j] = i + j;
                continue;
            }
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

/// A word whose value comes from a variable while playing: nothing can be said about it before.
bool Variable(const std::wstring& word)
{
    return word.find(L"{{") != std::wstring::npos;
}

/// The words from position (counted from 1) on, as one line.
std::wstring LineFrom(const Tokens& tokens, std::size_t position)
{
    return CmdHandlers::JoinFrom(tokens, position - 1);
}
} // namespace

void NovelLint::CheckCommandLine(const Place& place, std::vector<std::wstring> tokens, const std::wstring& nestedIn)
{
    if (tokens.empty())
        return;
    if (NHelper::StartsWith(tokens.front(), L"."))
        tokens.front().erase(0, 1);
    const NovelCommand* command = m_commands->Find(tokens);
    if (command == nullptr)
        return UnknownCommand(place, tokens, nestedIn);
    if (!command->textModeOn)
        CheckArguments(place, *command, tokens);
}

void NovelLint::CheckNestedLine(const Place& place, const std::vector<std::wstring>& tokens, std::size_t from)
{
    if (from > tokens.size())
        return;
    std::vector<std::wstring> nested = Parser::LineTokens(LineFrom(tokens, from));
    Parser::MergeQuotes(nested, nullptr);
    if (Parser::IsDialogue(nested))
        return ReadVariables(place, LineFrom(tokens, from));
    CheckCommandLine(place, std::move(nested), tokens.front());
}

void NovelLint::UnknownCommand(const Place& place, const std::vector<std::wstring>& tokens, const std::wstring& nestedIn)
{
    const std::wstring where = nestedIn.empty() ? L"" : L"the line that " + nestedIn + L" runs: ";
    const std::wstring count = m_commands->WordCount(tokens.front(), tokens.size());
    if (!count.empty())
        return Report(place, true, where + L"'" + tokens.front() + L"' " + count);
    const std::wstring nearest = NearestKeyword(tokens.front());
    Report(place, true,
           where + L"unknown command '" + tokens.front() + L"'" +
               (nearest.empty() ? L"" : L": did you mean " + nearest + L"?"));
}

std::wstring NovelLint::NearestKeyword(const std::wstring& word) const
{
    const std::wstring lower = NHelper::LowerCase(word);
    std::wstring nearest;
    std::size_t best = 3;
    for (const auto& entry : m_commands->commandsByName)
    {
        const NovelCommand& command = *entry.second;
        if (command.match != NovelCommand::EXACT || command.keyword.empty())
            continue;
        // Short keywords allow fewer slips, or every short word would look like one of them.
        const std::size_t allowed = command.keyword.size() >= 5 ? 2 : command.keyword.size() >= 3 ? 1 : 0;
        const std::size_t distance = EditDistance(lower, NHelper::LowerCase(command.keyword));
        if (distance <= allowed && distance < best)
        {
            best = distance;
            nearest = command.keyword;
        }
    }
    return nearest;
}

void NovelLint::CheckArguments(const Place& place, const NovelCommand& command, const std::vector<std::wstring>& tokens)
{
    for (const ArgumentRule& rule : ArgumentRules())
        if (command.name == rule.command)
        {
            CheckNumbers(place, tokens, rule.numbers);
            for (const auto& [position, kind] : rule.files)
                if (position <= tokens.size() && !IsWord(tokens[position - 1], L"CmdOptions_none"))
                    CheckFile(place, kind, tokens[position - 1]);
        }
    for (const auto& [name, position] : RepeatPositions())
        if (command.name == name && tokens.size() >= position && !IsWord(tokens[position - 1], L"CmdOptions_repeat"))
            Report(place, true,
                   L"'" + tokens[position - 1] + L"' is not the option '" + m_commands->Word(L"CmdOptions_repeat") +
                       L"': the line is not run");
    for (const auto& [name, position] : NestedLinePositions())
        if (command.name == name)
            CheckNestedLine(place, tokens, position);
    CheckSpecial(place, command, tokens);
}

void NovelLint::CheckSpecial(const Place& place, const NovelCommand& command, const std::vector<std::wstring>& tokens)
{
    const std::wstring& name = command.name;
    const std::size_t n = tokens.size();
    if (name == L"bg")
        CheckFile(place, DATA_IMAGES, n == 2 || (n == 3 && IsWord(tokens[2], L"CmdOptions_noCamera")) ? tokens[1] : tokens[2]);
    else if (name == L"button" || name == L"sysButton")
        CheckButton(place, tokens);
    else if (name == L"fadein" || name == L"fadeout" || name == L"alpha" || name == L"move" || name == L"rotate" ||
             name == L"zoom")
        CheckTween(place, command, tokens);
    else if (name == L"var")
        CheckVar(place, tokens);
    else if (name == L"if")
        CheckIf(place, tokens);
    else if (name == L"jump" || name == L"script")
        CheckJumpOrScript(place, command, tokens);
    else if (name == L"textbox" || name == L"text")
        m_textboxes.insert(tokens[1]);
    else if (name == L"useTextbox" || name == L"backlogConfig")
    {
        if (!Variable(tokens[1]))
            m_textboxUses.push_back({place.script, place.line, tokens[1]});
        m_boxChosen = m_boxChosen || name == L"useTextbox";
    }
    else if (name == L"wait" && n == 2 && !IsWord(tokens[1], L"CmdOptions_buttonSelect") &&
             !IsWord(tokens[1], L"CmdOptions_msgboxSelect"))
        CheckNumbers(place, tokens, {2});
    else if (name == L"textShadow")
        CheckNumbers(place, tokens, n == 2 ? std::vector<std::size_t>{2} : std::vector<std::size_t>{2, 3, 4, 5});
    else if (name == L"volume" && !Variable(tokens[2]) &&
             (tokens[2].size() < 2 || tokens[2].back() != L'%' ||
              !NHelper::IsNumber(tokens[2].substr(0, tokens[2].size() - 1), true)))
        Report(place, true, L"'" + tokens[2] + L"' is no volume: write a whole number and a percent sign (50%)");
    else if ((name == L"alphaFadein" || name == L"alphaFadeout") && n != 3)
        Report(place, true, L"'" + tokens[0] + L"' takes a mask and a duration: the line does nothing");
    else if (name == L"keyTrigger")
        CheckKey(place, tokens[1]);
    else if (name == L"timer" && n >= 4)
        CheckNestedLine(place, tokens, IsWord(tokens[3], L"CmdOptions_repeat") ? 5 : 4);
    else if (name == L"createDummyCG" && (NHelper::ClimbsOut(tokens[1]) || tokens[1].find_first_of(L"/\\") != std::wstring::npos))
        Report(place, true, L"'" + tokens[1] + L"' must be a plain file name, without folders");
}

void NovelLint::CheckNumbers(const Place& place, const std::vector<std::wstring>& tokens,
                             const std::vector<std::size_t>& positions)
{
    for (std::size_t position : positions)
    {
        const std::wstring word = position <= tokens.size() ? tokens[position - 1] : std::wstring();
        if (Variable(word) || NHelper::IsNumber(word, true))
            continue;
        return Report(place, true,
                      L"word " + std::to_wstring(position) + L" of '" + tokens.front() +
                          L"' must be a whole number, " + (word.empty() ? L"is missing" : L"not '" + word + L"'") +
                          L": the line is not run");
    }
}

void NovelLint::CheckFile(const Place& place, DataKind kind, const std::wstring& name)
{
    if (Variable(name))
        return;
    const std::wstring& folder = m_paths.dataPaths[kind].folder;
    if (NHelper::ClimbsOut(name))
        return Report(place, true, L"'" + name + L"' leaves its data folder " + folder + L": the engine refuses it");
    std::wstring path = m_paths.FilePath(kind, name);
    NHelper::ReplaceAll(path, L"\\", L"/");
    if (m_files->Exists(path) || m_madeFiles.count(path) != 0)
        return;
    const std::wstring twin = m_files->CaseTwin(path);
    if (!twin.empty())
        return Report(place, true, path + L" does not exist, but " + twin + L" does: names are case-sensitive");
    Report(place, true,
           path + L" is in neither " + folder + L" nor " + m_paths.dataPaths[kind].archive);
}

void NovelLint::CheckButton(const Place& place, const std::vector<std::wstring>& tokens)
{
    std::size_t x = 0; // position of the first number: the button's X
    for (std::size_t i = 2; i < tokens.size() && x == 0; ++i)
        if (NHelper::IsNumber(tokens[i], true) || Variable(tokens[i]))
            x = i + 1;
    if (x <= 2 || tokens.size() < x + 2)
        return Report(place, true, L"'" + tokens.front() + L"' needs X Y LAYER after its name and images");
    if (x - 3 > 3)
        Report(place, true, L"a button has at most three images, this line gives " + std::to_wstring(x - 3));
    for (std::size_t i = 3; i < x; ++i)
        if (!IsWord(tokens[i - 1], L"CmdOptions_none"))
            CheckFile(place, DATA_IMAGES, tokens[i - 1]);
    CheckNumbers(place, tokens, {x + 1, x + 2});
    const std::size_t kindAt = tokens.size() >= x + 3 && IsWord(tokens[x + 2], L"CmdOptions_noCamera") ? x + 4 : x + 3;
    if (kindAt > tokens.size() || IsWord(tokens[kindAt - 1], L"CmdOptions_none"))
        return;
    const std::wstring& kind = tokens[kindAt - 1];
    if (kind == L"saveslot" || kind == L"loadslot" || kind == L"savedelete" || kind == L"screen" ||
        kind == m_commands->Keyword(L"textProgress"))
        return CheckNumbers(place, tokens, {kindAt + 1});
    if (kind != L"msgvar")
        CheckNestedLine(place, tokens, kindAt);
}

void NovelLint::CheckTween(const Place& place, const NovelCommand& command, const std::vector<std::wstring>& tokens)
{
    // The targets: a kind word (fades only), or names with a comma after each but the last.
    const bool fade = command.name == L"fadein" || command.name == L"fadeout" || command.name == L"alpha";
    bool byKind = false;
    for (const auto& [type, key] : m_paths.entityTypeNames) // the camera's word names the camera, not a kind
        byKind = byKind || (fade && type != NTYPE_CAMERA && IsWord(tokens[1], key.c_str()));
    std::size_t last = 2;
    while (!byKind && last < tokens.size() && !tokens[last - 1].empty() && tokens[last - 1].back() == L',')
        ++last;
    const std::size_t next = last + 1;
    // Then the values the command needs (alpha's ALPHA, move's X Y, rotate's and zoom's value) and a DURATION.
    const std::size_t needed = command.name == L"move" ? 2 : command.name == L"alpha" || !fade ? 1 : 0;
    std::vector<std::size_t> numbers;
    for (std::size_t i = 0; i <= needed; ++i)
        if (i < needed || next + i <= tokens.size())
            numbers.push_back(next + i);
    CheckNumbers(place, tokens, numbers);
}

void NovelLint::CheckVar(const Place& place, const std::vector<std::wstring>& tokens)
{
    static const std::set<std::wstring> operations{L"=", L"+=", L"-=", L"*=", L"/="};
    if (operations.count(tokens[2]) == 0)
        return Report(place, true, L"'" + tokens[2] + L"' is no assignment: write =, +=, -=, *= or /=");
    if (tokens[2] != L"=")
        ReadVariable(place, tokens[1]);
    const std::wstring& value = tokens[3];
    const bool quoted = !value.empty() && (value.front() == L'\'' || value.front() == L'"');
    if (!quoted && !NHelper::IsNumber(value, true))
        ReadVariable(place, value);
    ReadVariables(place, LineFrom(tokens, 2));
    if (!Variable(tokens[1]))
        m_variables.insert(tokens[1]);
}

void NovelLint::CheckIf(const Place& place, const std::vector<std::wstring>& tokens)
{
    static const std::set<std::wstring> comparisons{L"==", L"!=", L">=", L">", L"<=", L"<"};
    if (comparisons.count(tokens[2]) == 0)
        return Report(place, true, L"'" + tokens[2] + L"' is no comparison: write ==, !=, >=, >, <= or <");
    ReadVariable(place, tokens[1]);
    if (!NHelper::IsNumber(tokens[3], true))
        ReadVariable(place, tokens[3]);
    if (tokens.size() == 7 || tokens.size() == 8)
        Report(place, true, L"the else part of '" + tokens[0] + L"' needs three words: WORD TARGET BOOKMARK");
    for (std::size_t at : {std::size_t{5}, std::size_t{8}})
        if (at + 1 <= tokens.size())
            CheckTarget(place, tokens[at - 1] == L"here" ? std::wstring() : tokens[at - 1], tokens[at], 0);
}

void NovelLint::CheckJumpOrScript(const Place& place, const NovelCommand& command,
                                  const std::vector<std::wstring>& tokens)
{
    const bool jump = command.name == L"jump";
    if (jump && tokens[1].find(L".txt") == std::wstring::npos)
        return CheckTarget(place, L"", tokens[1], 0);
    const std::wstring bookmark = tokens.size() >= 3 && (!jump || tokens.size() == 3) ? tokens[2] : L"";
    CheckTarget(place, tokens[1], bookmark, jump || tokens.size() < 3 ? 0 : tokens.size() - 3);
}

void NovelLint::CheckTarget(const Place& place, const std::wstring& script, const std::wstring& bookmark,
                            std::size_t values)
{
    if (Variable(script) || Variable(bookmark))
        return;
    const Script* target = place.script;
    if (!script.empty())
    {
        CheckFile(place, DATA_SCRIPTS, script);
        auto found = m_scriptsByName.find(NHelper::Unquoted(script));
        if (found == m_scriptsByName.end())
            return;
        target = found->second;
        m_boxChosen = m_boxChosen || target->choosesBox;
    }
    if (bookmark.empty())
        return;
    auto mark = target->bookmarks.find(bookmark);
    if (mark == target->bookmarks.end())
        return Report(place, true,
                      L"no bookmark '" + bookmark + L"' in " + m_paths.dataPaths[DATA_SCRIPTS].folder + target->name);
    if (values > 0 && values < mark->second.scriptVars)
        Report(place, true,
               L"bookmark '" + bookmark + L"' declares " + std::to_wstring(mark->second.scriptVars) +
                   L" script variables, the line gives " + std::to_wstring(values) + L": none are given");
}

void NovelLint::CheckKey(const Place& place, const std::wstring& key)
{
    if (!Variable(key) && m_paths.keyNames.count(key) == 0 && m_paths.mouseNames.count(key) == 0)
        Report(place, true, L"'" + key + L"' is no key or mouse action (a-z, 0-9, f1-f12, esc, space, l.click, ...)");
}

void NovelLint::ReadVariables(const Place& place, const std::wstring& text)
{
    for (std::size_t open = text.find(L"{{"); open != std::wstring::npos; open = text.find(L"{{", open + 2))
    {
        const std::size_t close = text.find(L"}}", open + 2);
        if (close == std::wstring::npos)
            return;
        ReadVariable(place, text.substr(open + 2, close - open - 2));
    }
}

void NovelLint::ReadVariable(const Place& place, const std::wstring& name)
{
    if (!name.empty() && name.front() != L'_' && !Variable(name))
        m_variableReads.push_back({place.script, place.line, name});
}

bool NovelLint::IsWord(const std::wstring& token, const wchar_t* key) const
{
    return m_commands->IsWord(token, key);
}

} // namespace zel
