#include "PackFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace launcher
{
namespace
{
namespace fs = std::filesystem;

/// The walk's state: the folder it must stay in and the folders it is inside of at the moment.
struct Walk
{
    fs::path root;
    std::vector<fs::path> open;
    std::vector<PackEntry> entries;
    std::string error;
};

bool Refuse(Walk& walk, const std::string& message)
{
    walk.error = message;
    return false;
}

/// Length of the well-formed UTF-8 sequence at pos, or 0 when the bytes there are not one.
std::size_t SequenceAt(const std::string& text, std::size_t pos)
{
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned char>(text[i]);
    };
    const unsigned char lead = byte(pos);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
    {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    }
    else if (lead >= 0xF0 && lead <= 0xF4)
    {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing past U+10FFFF
    }
    if (length == 0 || pos + length > text.size() || byte(pos + 1) < low || byte(pos + 1) > high)
        return 0;
    for (std::size_t i = pos + 2; i < pos + length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
}

bool WalkFolder(Walk& walk, const fs::path& dir, const std::string& name);

bool IsReadable(const fs::path& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

/// Adds one entry of a folder: a file, or everything below a folder.
bool AddChild(Walk& walk, const fs::path& path, const std::string& name)
{
    const std::string shown = "'" + Shown(path.string()) + "'";
    if (!IsUtf8(path.filename().string()))
        return Refuse(walk, "the name of " + shown + " is not valid UTF-8");
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(path, ec)))
    {
        const fs::path target = fs::canonical(path, ec);
        if (ec)
            return Refuse(walk, "link " + shown + " leads nowhere: " + ec.message());
        if (!IsWithin(target, walk.root))
            return Refuse(walk, "link " + shown + " leads outside the folder, to '" + Shown(target.string()) + "'");
    }
    const fs::file_status status = fs::status(path, ec);
    if (fs::is_directory(status))
        return WalkFolder(walk, path, name);
    if (!fs::is_regular_file(status))
        return Refuse(walk, shown + " is neither a file nor a folder");
    if (!IsReadable(path))
        return Refuse(walk, "cannot read " + shown + ": " + std::strerror(errno));
    walk.entries.push_back({name, path.string()});
    return true;
}

bool WalkFolder(Walk& walk, const fs::path& dir, const std::string& name)
{
    const std::string shown = "'" + Shown(dir.string()) + "'";
    std::error_code ec;
    const fs::path real = fs::canonical(dir, ec);
    if (std::find(walk.open.begin(), walk.open.end(), real) != walk.open.end())
        return Refuse(walk, "link " + shown + " leads back into a folder that holds it");
    std::vector<fs::path> children;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        children.push_back(it->path());
    if (ec)
        return Refuse(walk, "cannot read folder " + shown + ": " + ec.message());
    walk.open.push_back(real);
    for (const fs::path& child : children)
        if (!AddChild(walk, child, name + "/" + child.filename().string()))
            return false;
    walk.open.pop_back();
    return true;
}
} // namespace

bool CollectFiles(const std::string& folder, const fs::path& root, const std::string& prefix,
                  std::vector<PackEntry>& entries, std::string& error)
{
    Walk walk{root, {}, {}, {}};
    if (!WalkFolder(walk, folder, prefix))
        return error = walk.error, false;
    std::sort(walk.entries.begin(), walk.entries.end(),
              [](const PackEntry& a, const PackEntry& b) { return a.name < b.name; });
    entries = std::move(walk.entries);
    return true;
}

bool IsUtf8(const std::string& text)
{
    for (std::size_t pos = 0; pos < text.size();)
    {
        const std::size_t length = SequenceAt(text, pos);
        if (length == 0)
            return false;
        pos += length;
    }
    return true;
}

std::string Shown(const std::string& text)
{
    std::string shown;
    for (std::size_t pos = 0; pos < text.size();)
    {
        const std::size_t length = SequenceAt(text, pos);
        if (length > 0)
        {
            shown.append(text, pos, length);
            pos += length;
            continue;
        }
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(text[pos]));
        shown += escaped;
        ++pos;
    }
    return shown;
}

bool IsWithin(const fs::path& inner, const fs::path& outer)
{
    return std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end()).first == outer.end();
}
} // namespace launcher
