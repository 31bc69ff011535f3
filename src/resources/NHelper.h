#pragma once
// Text conversions shared by every unit: wide script text to narrow UTF-8 paths and back, and line splitting.

#include <string>
#include <string_view>
#include <vector>

namespace zel
{
namespace NHelper
{

/// Encodes a wide string as UTF-8. wchar_t is 32 bits here, so every code point is one character.
std::string ws2s(const std::wstring& wide);
/// Appends wide as UTF-8 to out (ws2s without a string of its own).
void AppendUtf8(std::string& out, std::wstring_view wide);
/// Decodes UTF-8; each byte of an invalid sequence becomes U+FFFD, so a damaged script keeps its good text.
std::wstring s2ws(const std::string& narrow);
/// Byte offset of the first invalid UTF-8 sequence, or npos when the text is valid.
std::size_t FirstInvalidUtf8(const std::string& narrow);
/// How often c occurs in text (in its first upTo characters).
std::size_t CountOf(const std::wstring& text, wchar_t c, std::size_t upTo = std::wstring::npos);
/// True when text begins with prefix (always for an empty prefix).
bool StartsWith(const std::wstring& text, const std::wstring& prefix);
/// True when a file name has a ".." step ("/" or "\\" between steps), so that the data folder it is put behind
/// would not hold it. The name is read as a path is made of it: without the quote marks around it.
bool ClimbsOut(const std::wstring& name);
/// A word without the quote marks around it: 'my ben.png' or "my ben.png" gives my ben.png. A word that does not
/// both begin and end with a quote mark (either kind, as a script line pairs them) is given back as it is.
std::wstring Unquoted(const std::wstring& word);
/// The text in small letters (as the C library's wide-character tables say), for comparisons that ignore case.
std::wstring LowerCase(std::wstring text);
/// Splits a line at runs of whitespace; never yields empty pieces.
std::vector<std::wstring> Tokenize(const std::wstring& line);
/// The next word of line from pos: true with the word in [start, pos), false at the end of the line.
bool NextWord(const std::wstring& line, std::size_t& pos, std::size_t& start);

/// True when every token is a whole decimal number (with allowSign, "+" or "-" may lead a longer token). An empty
/// token or list passes. A failure warns once per main-script line.
bool IsNumberTokens(const std::vector<std::wstring>& tokens, bool allowSign);
/// True when token is one whole decimal number (with allowSign, "+" or "-" may lead it). Unlike IsNumberTokens an
/// empty token fails and nothing is warned: for texts that may well be something else, such as variable values.
bool IsNumber(const std::wstring& token, bool allowSign);
/// Replaces every occurrence of from, scanning on after each inserted text; an empty from changes nothing.
void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to);
/// The number in decimal, with a minus sign when negative.
std::wstring ToDecimal(int value);
/// Base-10 conversion of a token's leading number (leading blanks and a sign accepted, trailing text ignored).
/// Throws std::invalid_argument("invalid stoi argument") or std::out_of_range("stoi argument out of range").
int ToInt(const std::wstring& token);
/// The same for a floating-point number (the messages name stof).
float ToFloat(const std::wstring& token);

} // namespace NHelper
} // namespace zel
