#include "resources/NHelper.h"

#include <algorithm>

#include "entities/LineValue.h"
#include "resources/Logger.h"

#include <cwctype>
#include <stdexcept>

namespace zel
{
namespace NHelper
{
namespace
{
constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = kReplacement;
    if (cp < 0x80)
        out.push_back(static_cast<char>(cp));
    else if (cp < 0x800)
    {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
    else if (cp < 0x10000)
    {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
    else
    {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

/// Decodes one UTF-8 sequence at pos; returns its length, or 0 when the bytes there are not a valid sequence.
std::size_t DecodeOne(const std::string& s, std::size_t pos, char32_t& cp)
{
    const auto b0 = static_cast<unsigned char>(s[pos]);
    std::size_t len = 0;
    char32_t min = 0;
    if (b0 < 0x80)
    {
        cp = b0;
        return 1;
    }
    if ((b0 & 0xE0) == 0xC0)
        len = 2, cp = b0 & 0x1F, min = 0x80;
    else if ((b0 & 0xF0) == 0xE0)
        len = 3, cp = b0 & 0x0F, min = 0x800;
    else if ((b0 & 0xF8) == 0xF0)
        len = 4, cp = b0 & 0x07, min = 0x10000;
    else
        return 0;
    if (pos + len > s.size())
        return 0;
    for (std::size_t i = 1; i < len; ++i)
    {
        const auto b = static_cast<unsigned char>(s[pos + i]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}
} // namespace

std::string ws2s(const std::wstring& wide)
{
    std::string out;
    AppendUtf8(out, wide);
    return out;
}

void AppendUtf8(std::string& out, std::wstring_view wide)
{
    // Most of every log line is ASCII: one pass finds out, a second narrows it (both loops vectorise).
    char32_t bits = 0;
    for (const wchar_t c : wide)
        bits |= static_cast<char32_t>(c);
    if (bits >= 0x80)
    {
        for (const wchar_t c : wide)
            AppendUtf8(out, static_cast<char32_t>(c));
        return;
    }
    const std::size_t start = out.size();
    out.resize(start + wide.size());
    char* to = &out[start];
    for (std::size_t i = 0; i < wide.size(); ++i)
        to[i] = static_cast<char>(wide[i]);
}

std::wstring s2ws(const std::string& narrow)
{
    std::wstring out;
    out.reserve(narrow.size());
    for (std::size_t pos = 0; pos < narrow.size();)
    {
        char32_t cp = 0;
        std::size_t len = DecodeOne(narrow, pos, cp);
        out.push_back(static_cast<wchar_t>(len == 0 ? kReplacement : cp));
        pos += len == 0 ? 1 : len;
    }
    return out;
}

std::size_t FirstInvalidUtf8(const std::string& narrow)
{
    for (std::size_t pos = 0; pos < narrow.size();)
    {
        char32_t cp = 0;
        std::size_t len = DecodeOne(narrow, pos, cp);
        if (len == 0)
            return pos;
        pos += len;
    }
    return std::string::npos;
}

namespace
{
/// The blanks that split a line: ASCII whitespace and the Unicode spaces (the ideographic space of Japanese text
/// among them), but not the no-break spaces. A fixed set: the C library's answer depends on the host's locale.
bool IsSpace(wchar_t c)
{
    if (c < 0x80)
        return c == L' ' || (c >= L'\t' && c <= L'\r');
    return c == 0x1680 || (c >= 0x2000 && c <= 0x200A && c != 0x2007) || c == 0x2028 || c == 0x2029 || c == 0x205F ||
           c == 0x3000;
}
} // namespace

std::size_t CountOf(const std::wstring& text, wchar_t c, std::size_t upTo)
{
    const auto end = upTo >= text.size() ? text.end() : text.begin() + static_cast<std::ptrdiff_t>(upTo);
    return static_cast<std::size_t>(std::count(text.begin(), end, c));
}

bool ClimbsOut(const std::wstring& name)
{
    std::wstring step;
    for (wchar_t c : Unquoted(name) + L"/")
    {
        if (c != L'/' && c != L'\\')
        {
            step += c;
            continue;
        }
        if (step == L"..")
            return true;
        step.clear();
    }
    return false;
}

std::wstring Unquoted(const std::wstring& word)
{
    auto isQuote = [](wchar_t c) { return c == L'\'' || c == L'"'; };
    if (word.size() < 2 || !isQuote(word.front()) || !isQuote(word.back()))
        return word;
    return word.substr(1, word.size() - 2);
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool NextWord(const std::wstring& line, std::size_t& pos, std::size_t& start)
{
    while (pos < line.size() && IsSpace(line[pos]))
        ++pos;
    start = pos;
    while (pos < line.size() && !IsSpace(line[pos]))
        ++pos;
    return pos > start;
}

std::wstring LowerCase(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return text;
}

std::vector<std::wstring> Tokenize(const std::wstring& line)
{
    std::vector<std::wstring> tokens;
    std::size_t pos = 0;
    std::size_t start = 0;
    while (NextWord(line, pos, start))
        tokens.emplace_back(line, start, pos - start);
    return tokens;
}

namespace
{
bool IsDigits(const std::wstring& token, std::size_t from)
{
    for (std::size_t i = from; i < token.size(); ++i)
        if (token[i] < L'0' || token[i] > L'9')
            return false;
    return true;
}

bool IsNumberToken(const std::wstring& token, bool allowSign)
{
    const bool signed_ = allowSign && token.size() > 1 && (token[0] == L'+' || token[0] == L'-');
    return IsDigits(token, signed_ ? 1 : 0);
}

/// Main-script line of the last "not a number" warning, so one line warns once however often it is checked.
int g_lastNumberWarningLine = -1;
} // namespace

bool IsNumberTokens(const std::vector<std::wstring>& tokens, bool allowSign)
{
    for (const std::wstring& token : tokens)
    {
        if (IsNumberToken(token, allowSign))
            continue;
        const int line = lineContext::MainLine();
        if (line != g_lastNumberWarningLine)
        {
            OutputDebugStringN(L"WARNING. TOKEN NOT A NUMBER:'%s' %s \n", token.c_str(), ScriptPlace().c_str());
            g_lastNumberWarningLine = line;
        }
        return false;
    }
    return true;
}

bool IsNumber(const std::wstring& token, bool allowSign)
{
    return !token.empty() && IsNumberToken(token, allowSign);
}

void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to)
{
    if (from.empty())
        return;
    for (std::size_t pos = text.find(from); pos != std::wstring::npos; pos = text.find(from, pos + to.size()))
        text.replace(pos, from.size(), to);
}

std::wstring ToDecimal(int value)
{
    return std::to_wstring(value);
}

int ToInt(const std::wstring& token)
{
    try
    {
        return std::stoi(token, nullptr, 10);
    }
    catch (const std::out_of_range&)
    {
        throw std::out_of_range("stoi argument out of range");
    }
    catch (const std::invalid_argument&)
    {
        throw std::invalid_argument("invalid stoi argument");
    }
}

float ToFloat(const std::wstring& token)
{
    try
    {
        return std::stof(token);
    }
    catch (const std::out_of_range&)
    {
        throw std::out_of_range("stof argument out of range");
    }
    catch (const std::invalid_argument&)
    {
        throw std::invalid_argument("invalid stof argument");
    }
}

} // namespace NHelper
} // namespace zel
