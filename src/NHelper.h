#pragma once
// Text conversions shared by every unit: wide script text to narrow UTF-8 paths and back, and line splitting.

#include <string>
#include <vector>

namespace zel
{
namespace NHelper
{

/// Encodes a wide string as UTF-8. wchar_t is 32 bits here, so every code point is one character.
std::string ws2s(const std::wstring& wide);
/// Decodes UTF-8; each byte of an invalid sequence becomes U+FFFD, so a damaged script keeps its good text.
std::wstring s2ws(const std::string& narrow);
/// Byte offset of the first invalid UTF-8 sequence, or npos when the text is valid.
std::size_t FirstInvalidUtf8(const std::string& narrow);
/// Splits a line at runs of whitespace; never yields empty pieces.
std::vector<std::wstring> Tokenize(const std::wstring& line);

} // namespace NHelper
} // namespace zel
