#pragma once
// Reading what is left of an XML file that was cut off or damaged: the parser keeps the nodes before the damage,
// the element the damage cut into among them, with a value cut short.

#include <pugixml.hpp>

#include <string>

namespace zel
{

/// Whether element's start tag, with every attribute value in it, ended before the damage, so that a value cut
/// short is never taken for the whole one. bytes is what was parsed. Always true when the document parsed.
bool StartTagWhole(const pugi::xml_node& element, const std::string& bytes, const pugi::xml_parse_result& result);

} // namespace zel
