#pragma once
// PNG files for host programs: a picture saved so that a reader never sees a half-written file, and read back.

#include "Picture.h"

#include <string>

namespace hostcommon
{

/// Writes picture as a PNG into a fresh file beside path, then renames it to path, so that path holds either its
/// old content or the whole new picture. False, with error naming the path and the cause, when it could not be done;
/// nothing is left behind then.
bool SavePng(const std::string& path, const Picture& picture, std::string& error);
/// Reads a PNG file into picture as RGBA; false, with error saying why, when it cannot.
bool LoadPng(const std::string& path, Picture& picture, std::string& error);
/// Whether a file may be written at path: tried with a fresh file beside it, which is removed again. False with
/// error naming the cause (a missing folder, no permission) when it may not.
bool CanWriteBeside(const std::string& path, std::string& error);

} // namespace hostcommon
