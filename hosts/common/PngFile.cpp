#include "PngFile.h"

#include "FileReplacement.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace hostcommon
{
namespace
{
png_image Describe(const Picture& picture)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_RGBA;
    return image;
}

/// Writes the PNG into the file at path; false with error set when it cannot.
bool WriteFile(const std::string& path, const Picture& picture, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return error = std::strerror(errno), false;
    png_image image = Describe(picture);
    const bool written = png_image_write_to_stdio(&image, file, 0, picture.rgba.data(), 0, nullptr) != 0;
    if (!written)
        error = image.message;
    png_image_free(&image);
    const bool closed = std::fclose(file) == 0;
    if (written && !closed)
        error = std::strerror(errno);
    return written && closed;
}
} // namespace

bool SavePng(const std::string& path, const Picture& picture, std::string& error)
{
    const std::size_t expected = static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height) * 4;
    if (picture.width <= 0 || picture.height <= 0 || picture.rgba.size() != expected)
        return error = "cannot write '" + path + "': the picture is empty or incomplete", false;
    zel::FileReplacement replacement(path);
    if (!replacement.created())
        return error = "cannot write '" + path + "': " + std::strerror(errno), false;
    std::string why;
    if (!WriteFile(replacement.path(), picture, why) || !replacement.Commit(why))
        return error = "cannot write '" + path + "': " + why, false;
    return true;
}

bool LoadPng(const std::string& path, Picture& picture, std::string& error)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0)
        return error = "cannot read '" + path + "': " + image.message, false;
    image.format = PNG_FORMAT_RGBA;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgba.assign(PNG_IMAGE_SIZE(image), 0);
    if (png_image_finish_read(&image, nullptr, picture.rgba.data(), 0, nullptr) == 0)
    {
        error = "cannot read '" + path + "': " + image.message;
        png_image_free(&image);
        picture = Picture{};
        return false;
    }
    return true;
}

bool CanWriteBeside(const std::string& path, std::string& error)
{
    struct stat existing
    {
    };
    if (stat(path.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode))
        return error = "cannot write '" + path + "': it is a folder", false;
    const zel::FileReplacement trial(path);
    if (!trial.created())
        return error = "cannot write '" + path + "': " + std::strerror(errno), false;
    return true;
}

} // namespace hostcommon
