#include "PngFile.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hostcommon
{
namespace
{
/// A name beside path that no other process of ours uses at the same time.
std::string TemporaryBeside(const std::string& path)
{
    return path + ".tmp-" + std::to_string(getpid());
}

/// Opens a fresh file for writing with the usual permissions; null with errno set when it cannot.
std::FILE* CreateFresh(const std::string& path)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr)
        close(fd);
    return file;
}

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

/// Writes the PNG into file and closes it; false with error set when either fails.
bool WriteAndClose(std::FILE* file, const Picture& picture, std::string& error)
{
    png_image image = Describe(picture);
    const bool written = png_image_write_to_stdio(&image, file, 0, picture.rgba.data(), 0, nullptr) != 0;
    if (!written)
        error = image.message;
    png_image_free(&image);
    const bool flushed = std::fflush(file) == 0 && fsync(fileno(file)) == 0;
    if (written && !flushed)
        error = std::strerror(errno);
    const bool closed = std::fclose(file) == 0;
    if (written && flushed && !closed)
        error = std::strerror(errno);
    return written && flushed && closed;
}
} // namespace

bool SavePng(const std::string& path, const Picture& picture, std::string& error)
{
    const std::size_t expected = static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height) * 4;
    if (picture.width <= 0 || picture.height <= 0 || picture.rgba.size() != expected)
        return error = "cannot write '" + path + "': the picture is empty or incomplete", false;
    const std::string temporary = TemporaryBeside(path);
    std::FILE* file = CreateFresh(temporary);
    if (file == nullptr)
        return error = "cannot write '" + path + "': " + std::strerror(errno), false;
    std::string why;
    if (!WriteAndClose(file, picture, why))
    {
        std::remove(temporary.c_str());
        return error = "cannot write '" + path + "': " + why, false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
    {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
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
    const std::string temporary = TemporaryBeside(path);
    std::FILE* file = CreateFresh(temporary);
    if (file == nullptr)
        return error = "cannot write '" + path + "': " + std::strerror(errno), false;
    std::fclose(file);
    std::remove(temporary.c_str());
    return true;
}

} // namespace hostcommon
