#pragma once
// The size of a picture read from its file's header, without decoding it: a picture too large for the graphics
// driver is refused before its pixels would fill memory.

#include <SFML/System/InputStream.hpp>
#include <SFML/System/Vector2.hpp>

namespace zel
{

/// The width and height a PNG, JPEG, GIF, BMP or PSD header gives, read from the stream's start; false for other
/// formats and for headers cut short. The stream is left at its start.
bool ReadImageSize(sf::InputStream& stream, sf::Vector2u& size);

} // namespace zel
