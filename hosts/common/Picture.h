#pragma once
// A picture as host programs pass it around: what a window shows, or what a PNG file holds.

#include <cstdint>
#include <vector>

namespace hostcommon
{

/// Pixels row by row from the top left, four bytes each: red, green, blue, alpha.
struct Picture
{
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;

    bool operator==(const Picture& other) const
    {
        return width == other.width && height == other.height && rgba == other.rgba;
    }
    bool operator!=(const Picture& other) const { return !(*this == other); }
};

} // namespace hostcommon
