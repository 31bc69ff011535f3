#include "persistence/DamagedXml.h"

namespace zel
{

bool StartTagWhole(const pugi::xml_node& element, const std::string& bytes, const pugi::xml_parse_result& result)
{
    if (result)
        return true;
    const std::ptrdiff_t start = element.offset_debug();
    if (start < 0 || static_cast<std::size_t>(start) >= bytes.size() || start >= result.offset)
        return false;
    // The tag ends at the first '>' outside quotes: a value may hold '>' itself.
    char quote = 0;
    for (std::size_t at = static_cast<std::size_t>(start); at < bytes.size(); ++at)
    {
        const char c = bytes[at];
        if (quote != 0)
            quote = c == quote ? 0 : quote;
        else if (c == '"' || c == '\'')
            quote = c;
        else if (c == '>')
            return static_cast<std::ptrdiff_t>(at) < result.offset;
    }
    return false;
}

} // namespace zel
