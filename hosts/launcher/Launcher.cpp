#include "Launcher.h"

#include "EngineLibrary.h"

#include <climits>
#include <cstdio>
#include <cwchar>
#include <unistd.h>

namespace launcher
{
int Fail(const std::string& message)
{
    std::fprintf(stderr, "quillhaven: %s\n", message.c_str());
    return 2;
}

int FailUsage(const std::string& message)
{
    std::fprintf(stderr, "usage: quillhaven play [NOVEL_DIR] [--script FILE] [--window-mode 0|1|2] [--size WxH]\n"
                         "       quillhaven pack FOLDER [OUT]\n"
                         "       quillhaven shot NOVEL_DIR SCRIPT LINE OUT.png [--size WxH] [--play MS]\n"
                         "       quillhaven new DIR [--vocabulary en|ja]\n"
                         "       quillhaven lint NOVEL_DIR [--json] [--script FILE]\n");
    return Fail(message);
}

bool ParseSize(const std::string& text, int& width, int& height)
{
    char extra = 0;
    return std::sscanf(text.c_str(), "%dx%d%c", &width, &height, &extra) == 2 && width > 0 && height > 0 &&
           width <= 16384 && height <= 16384;
}

bool ReadNovelScript(const EngineLibrary& engine, const char* argv0, const std::string& novelDir,
                     const std::string& script, std::string& bytes, std::string& error)
{
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr || !engine.PHYSFS_init(argv0) || !engine.PHYSFS_mount(cwd, nullptr, 1))
        return error = "cannot mount the novel folder '" + novelDir + "'", false;
    // The script may come packed: mounted here under the name the engine mounts it by, so that its own mount
    // finds it already in place.
    engine.PHYSFS_mount((std::string(cwd) + "/Scripts.vndat").c_str(), nullptr, 1);
    const std::string scriptPath = "Scripts/" + script;
    if (!engine.ReadFile(scriptPath, bytes))
        return error = "script '" + scriptPath + "' not found or unreadable in novel folder '" + novelDir + "'", false;
    return true;
}

std::wstring Widen(const std::string& bytes, std::size_t* firstInvalid)
{
    if (firstInvalid != nullptr)
        *firstInvalid = std::string::npos;
    std::wstring out;
    std::mbstate_t state{};
    for (std::size_t pos = 0; pos < bytes.size();)
    {
        wchar_t c = 0;
        const std::size_t used = std::mbrtowc(&c, bytes.data() + pos, bytes.size() - pos, &state);
        if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2))
        {
            if (firstInvalid != nullptr && *firstInvalid == std::string::npos)
                *firstInvalid = pos;
            out.push_back(L'\uFFFD');
            state = std::mbstate_t{};
            ++pos;
            continue;
        }
        out.push_back(c);
        pos += used == 0 ? 1 : used;
    }
    return out;
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    std::mbstate_t state{};
    char bytes[MB_LEN_MAX];
    for (wchar_t c : text)
    {
        const std::size_t used = std::wcrtomb(bytes, c, &state);
        out.append(used == static_cast<std::size_t>(-1) ? "?" : std::string(bytes, used));
    }
    return out;
}
} // namespace launcher
