#pragma once
// The pictures a new novel starts with, drawn in code: a background, a character, the buttons in their three looks,
// a text-box skin, a message-box panel and the icon that blinks while a line waits for a click.

#include "Picture.h"

#include <string>
#include <vector>

namespace launcher
{
/// A picture and the name it has in the novel's Images/ folder.
struct NovelPicture
{
    std::string name;
    hostcommon::Picture picture;
};

/// Every picture the scripts of a new novel name, drawn at the sizes their lines expect.
std::vector<NovelPicture> DrawNovelPictures();
} // namespace launcher
