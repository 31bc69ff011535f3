#pragma once
// What `quillhaven pack` puts into an archive: the files below a folder, found by walking it, each with the name it
// is stored under. Links are followed only while they stay inside the folder, so that an archive never picks up
// files from elsewhere.

#include <filesystem>
#include <string>
#include <vector>

namespace launcher
{
/// One file to pack: its name in the archive ("Images/sub/title.png") and the path it is read from.
struct PackEntry
{
    std::string name;
    std::string source;
};

/// Collects every file below folder (whose canonical path is root), each named prefix + "/" + its path inside the
/// folder, sorted by the bytes of their names. False, with error saying which entry and why, for a name that is
/// not UTF-8, a link that leads outside root, nowhere or back into a folder that holds it, an entry that is
/// neither a file nor a folder, or anything that cannot be read.
bool CollectFiles(const std::string& folder, const std::filesystem::path& root, const std::string& prefix,
                  std::vector<PackEntry>& entries, std::string& error);

/// True when text is well-formed UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
bool IsUtf8(const std::string& text);
/// text for a message: every byte that is not part of a well-formed UTF-8 sequence written as \xNN.
std::string Shown(const std::string& text);
/// True when inner is outer or lies below it; both paths canonical.
bool IsWithin(const std::filesystem::path& inner, const std::filesystem::path& outer);
} // namespace launcher
