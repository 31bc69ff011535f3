// The variable commands: var assigns and computes global variables, if branches on them. Values are texts;
// arithmetic and comparison read them as whole decimal numbers that fit an int, and a value that is none changes
// nothing. A change of a persistent variable ("*name") is written to the save folder at once.

#include "commands/CmdHandlers.h"
#include "core/Services.h"
#include "resources/GlobalVariables.h"
#include "resources/Logger.h"
#include "resources/NHelper.h"
#include "script/Parser.h"

#include <functional>
#include <limits>
#include <map>

namespace zel
{
namespace CmdHandlers
{

namespace
{
/// The if target that means a bookmark of the running script rather than another script.
constexpr const wchar_t* kHere = L"here";

using Operation = std::function<bool(long long, long long, long long&)>;
using Comparison = std::function<bool(int, int)>;

enum class Lookup
{
    FOUND,
    MISSING,
    NOT_A_NUMBER
};

/// The integer that text holds; false (logged with the command and what held the text) when it is no whole number
/// or too large for an int.
bool ReadNumber(const Tokens& tokens, const std::wstring& holder, const std::wstring& text, int& value)
{
    if (NHelper::IsNumber(text, true))
    {
        try
        {
            value = NHelper::ToInt(text);
            return true;
        }
        catch (const std::exception&)
        {
        }
    }
    OutputDebugStringN(L"\nERROR. (%s line) %s:'%s' is not a whole number that fits an int. line ignored \n",
                       tokens[0].c_str(), holder.c_str(), text.c_str());
    return false;
}

Lookup LookUp(const Tokens& tokens, const std::wstring& name, int& value)
{
    if (const SystemVariables* sysVars = Services::SysVars())
    {
        const auto found = sysVars->variables.find(name);
        if (found != sysVars->variables.end())
            return ReadNumber(tokens, L"variable " + name, found->second, value) ? Lookup::FOUND : Lookup::NOT_A_NUMBER;
    }
    OutputDebugStringN(L"ERROR. [getVariableValue] value:'%s' DOES NOT EXIST %s \n", name.c_str(),
                       ScriptPlace().c_str());
    return Lookup::MISSING;
}

/// Token 4 as a number: the literal when it is one, else the value of the variable it names.
Lookup ReadOperand(const Tokens& tokens, int& value)
{
    if (NHelper::IsNumber(tokens[3], true))
        return ReadNumber(tokens, L"value", tokens[3], value) ? Lookup::FOUND : Lookup::NOT_A_NUMBER;
    return LookUp(tokens, tokens[3], value);
}

// var

const std::map<std::wstring, Operation>& Operations()
{
    static const std::map<std::wstring, Operation> operations{
        {L"+=",
         [](long long a, long long b, long long& r) {
             return r = a + b, true;
         }},
        {L"-=",
         [](long long a, long long b, long long& r) {
             return r = a - b, true;
         }},
        {L"*=",
         [](long long a, long long b, long long& r) {
             return r = a * b, true;
         }},
        {L"/=",
         [](long long a, long long b, long long& r) {
             return b != 0 && (r = a / b, true);
         }},
    };
    return operations;
}

void Assign(const std::wstring& name, const std::wstring& value)
{
    SystemVariables* sysVars = Services::SysVars();
    if (sysVars == nullptr)
        return;
    sysVars->variables[name] = value;
    OutputDebugStringN(L"[CmdHandlers::ExecuteVar] %s = %s \n", name.c_str(), value.c_str());
    if (IsPersistentVariable(name))
        SaveGlobalVariables(*sysVars);
}

/// A quoted text: the tokens from 4 on, without the opening apostrophe and without the closing one (a text whose
/// closing apostrophe is missing keeps its last letter).
std::wstring QuotedText(const Tokens& tokens)
{
    const std::wstring joined = JoinFrom(tokens, 3);
    const bool closed = joined.size() >= 2 && joined.back() == L'\'';
    return joined.substr(1, joined.size() - (closed ? 2 : 1));
}

void AssignValue(const Tokens& tokens)
{
    const std::wstring& value = tokens[3];
    if (value[0] == L'\'')
        return Assign(tokens[1], QuotedText(tokens));
    if (NHelper::IsNumber(value, true))
        return Assign(tokens[1], value);
    int copied = 0;
    if (LookUp(tokens, value, copied) == Lookup::FOUND)
        Assign(tokens[1], NHelper::ToDecimal(copied));
}

void Calculate(const Tokens& tokens)
{
    const auto operation = Operations().find(tokens[2]);
    if (operation == Operations().end())
    {
        OutputDebugStringN(L"ERROR. [CmdHandlers::ExecuteVar] calculation:'%s' DOES NOT EXIST %s \n", tokens[2].c_str(),
                           ScriptPlace().c_str());
        return;
    }
    int operand = 0;
    int current = 0;
    if (ReadOperand(tokens, operand) != Lookup::FOUND || LookUp(tokens, tokens[1], current) != Lookup::FOUND)
        return;
    long long result = 0;
    if (!operation->second(current, operand, result))
    {
        OutputDebugStringN(L"\nERROR. (CmdHandlers::ExecuteVar) %s %s %s: division by zero. %s unchanged \n",
                           tokens[1].c_str(), tokens[2].c_str(), tokens[3].c_str(), tokens[1].c_str());
        return;
    }
    if (result < std::numeric_limits<int>::min() || result > std::numeric_limits<int>::max())
    {
        OutputDebugStringN(L"\nERROR. (CmdHandlers::ExecuteVar) %s %s %s: the result %lld does not fit an int. %s "
                           L"unchanged \n",
                           tokens[1].c_str(), tokens[2].c_str(), tokens[3].c_str(), result, tokens[1].c_str());
        return;
    }
    Assign(tokens[1], NHelper::ToDecimal(static_cast<int>(result)));
}

// if

const std::map<std::wstring, Comparison>& Comparisons()
{
    static const std::map<std::wstring, Comparison> comparisons{
        {L"==",
         [](int a, int b) {
             return a == b;
         }},
        {L"!=",
         [](int a, int b) {
             return a != b;
         }},
        {L">=",
         [](int a, int b) {
             return a >= b;
         }},
        {L">",
         [](int a, int b) {
             return a > b;
         }},
        {L"<=",
         [](int a, int b) {
             return a <= b;
         }},
        {L"<",
         [](int a, int b) {
             return a < b;
         }},
    };
    return comparisons;
}

enum class Outcome
{
    HOLDS,
    FAILS,
    UNDECIDED
};

/// A missing variable makes only "!=" true, whatever the operator (an unknown one included); a value that is no
/// number, or an unknown operator between two values, decides nothing.
Outcome Evaluate(const Tokens& tokens, const Comparison* compare)
{
    if (compare == nullptr)
        OutputDebugStringN(L"ERROR. [CmdHandlers::ExecuteVarIf] condition:'%s' DOES NOT EXIST %s \n", tokens[2].c_str(),
                           ScriptPlace().c_str());
    int left = 0;
    int right = 0;
    Lookup found = LookUp(tokens, tokens[1], left);
    if (found == Lookup::FOUND)
        found = ReadOperand(tokens, right);
    if (found == Lookup::NOT_A_NUMBER || (found == Lookup::FOUND && compare == nullptr))
        return Outcome::UNDECIDED;
    const bool holds = found == Lookup::FOUND ? (*compare)(left, right) : tokens[2] == L"!=";
    return holds ? Outcome::HOLDS : Outcome::FAILS;
}

/// Goes to a bookmark of the running script ("here") or to another script, on the current parser.
void Branch(const std::wstring& target, const std::wstring& bookmark)
{
    if (target == kHere)
    {
        JumpToBookmark(bookmark, L"CmdHandlers::ExecuteVarIf");
        return;
    }
    if (std::shared_ptr<Parser> parser = CurParser())
        SwitchScript(*parser, target, bookmark, L"CmdHandlers::ExecuteVarIf");
}
} // namespace

bool getVariableValue(const Tokens& tokens, const std::wstring& name, int& value)
{
    return LookUp(tokens, name, value) == Lookup::FOUND;
}

void ExecuteVar(const Tokens& tokens)
{
    if (lineContext::Editing() || tokens.size() < 4)
        return;
    if (tokens[2] == L"=")
        AssignValue(tokens);
    else
        Calculate(tokens);
}

void ExecuteVarIf(const Tokens& tokens)
{
    if (lineContext::Editing() || tokens.size() < 6 || tokens.size() > 9)
        return;
    const auto comparison = Comparisons().find(tokens[2]);
    const Outcome outcome = Evaluate(tokens, comparison == Comparisons().end() ? nullptr : &comparison->second);
    if (outcome == Outcome::HOLDS)
        Branch(tokens[4], tokens[5]);
    else if (outcome == Outcome::FAILS && tokens.size() == 9)
        Branch(tokens[7], tokens[8]);
    else if (outcome == Outcome::FAILS && tokens.size() == 6)
        OutputDebugStringN(L"[CmdHandlers::ExecuteVarIf] condition false: continue cur script. \n");
    else if (outcome == Outcome::FAILS)
        OutputDebugStringN(L"[CmdHandlers::ExecuteVarIf] condition false and the else part lacks its target or "
                           L"bookmark: continue cur script. \n");
}

} // namespace CmdHandlers
} // namespace zel
