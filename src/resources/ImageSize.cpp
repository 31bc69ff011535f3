#include "resources/ImageSize.h"

#include <cstdint>
#include <cstring>

namespace zel
{
namespace
{
std::uint32_t BigEndian(const unsigned char* bytes, int count)
{
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | bytes[i];
    return value;
}

std::uint32_t LittleEndian(const unsigned char* bytes, int count)
{
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

bool ReadAt(sf::InputStream& stream, sf::Int64 position, unsigned char* bytes, sf::Int64 count)
{
    return stream.seek(position) == position && stream.read(bytes, count) == count;
}

/// A JPEG's size sits in its frame header (SOF0 to SOF15 but for the markers C4, C8 and CC, which share the range),
/// after any number of segments that are skipped by their lengths.
bool ReadJpegSize(sf::InputStream& stream, sf::Vector2u& size)
{
    sf::Int64 position = 2;
    unsigned char marker[4];
    while (ReadAt(stream, position, marker, 4))
    {
        if (marker[0] != 0xFF)
            return false;
        if (marker[1] == 0xFF) // fill byte
        {
            ++position;
            continue;
        }
        const unsigned kind = marker[1];
        const bool frame = kind >= 0xC0 && kind <= 0xCF && kind != 0xC4 && kind != 0xC8 && kind != 0xCC;
        if (frame)
        {
            unsigned char header[5];
            if (!ReadAt(stream, position + 4, header, 5))
                return false;
            size = sf::Vector2u(BigEndian(header + 3, 2), BigEndian(header + 1, 2));
            return true;
        }
        if (kind == 0xD9 || kind == 0xDA) // end of image, or the scan began without a frame header
            return false;
        position += 2 + BigEndian(marker + 2, 2);
    }
    return false;
}

bool ReadHeaderSize(sf::InputStream& stream, sf::Vector2u& size)
{
    unsigned char head[26] = {};
    const sf::Int64 got = stream.seek(0) == 0 ? stream.read(head, sizeof head) : -1;
    if (got < 10)
        return false;
    if (got >= 24 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0)
    {
        size = sf::Vector2u(BigEndian(head + 16, 4), BigEndian(head + 20, 4));
        return true;
    }
    if (head[0] == 0xFF && head[1] == 0xD8)
        return ReadJpegSize(stream, size);
    if (std::memcmp(head, "GIF8", 4) == 0)
    {
        size = sf::Vector2u(LittleEndian(head + 6, 2), LittleEndian(head + 8, 2));
        return true;
    }
    if (got >= 26 && head[0] == 'B' && head[1] == 'M')
    {
        if (LittleEndian(head + 14, 4) == 12) // the oldest header: 16-bit sizes
        {
            size = sf::Vector2u(LittleEndian(head + 18, 2), LittleEndian(head + 20, 2));
            return true;
        }
        // The height is negative for pictures stored top row first.
        const auto height = static_cast<std::int32_t>(LittleEndian(head + 22, 4));
        size = sf::Vector2u(LittleEndian(head + 18, 4),
                            static_cast<unsigned>(height < 0 ? -static_cast<std::int64_t>(height) : height));
        return true;
    }
    if (got >= 22 && std::memcmp(head, "8BPS", 4) == 0)
    {
        size = sf::Vector2u(BigEndian(head + 18, 4), BigEndian(head + 14, 4));
        return true;
    }
    return false;
}
} // namespace

bool ReadImageSize(sf::InputStream& stream, sf::Vector2u& size)
{
    const bool known = ReadHeaderSize(stream, size);
    stream.seek(0);
    return known;
}

} // namespace zel
