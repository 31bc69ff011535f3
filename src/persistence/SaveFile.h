#pragma once
// The save-slot file: the whole running novel (parsers, entities, camera, text-area settings, triggers, variables)
// as XML. Writing builds the document from the running state; reading checks the whole document first, so that a
// damaged or foreign file is refused before anything of the running novel is touched.

#include <pugixml.hpp>

#include <string>
#include <vector>

namespace zel
{

struct NovelState;

namespace SaveFile
{

/// The document of the running novel; false (logged) when an entity is incomplete and nothing may be written.
bool Build(pugi::xml_document& document);

/// What a checked document needs besides itself: the text of each saved parser's script, in file order.
struct Checked
{
    std::vector<std::wstring> scriptTexts;
};

/// Checks every element and attribute the loader reads (numbers in range, scripts readable); on the first problem
/// returns false with problem saying what and where.
bool Check(const pugi::xml_document& document, Checked& checked, std::wstring& problem);

/// Replaces the running novel with a checked document.
void Apply(const pugi::xml_document& document, const Checked& checked);

} // namespace SaveFile
} // namespace zel
