#include "BenchEngine.h"

#include "core/NovelState.h"
#include "core/Services.h"
#include "quillhaven.h"
#include "script/Parser.h"

#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Window/Context.hpp>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <unistd.h>

namespace bench
{
namespace
{
enum class Kind
{
    None,
    Headless,
    Windowed
};
Kind g_kind = Kind::None;
/// Without a window, every picture line would make and drop a GL context of its own (and load and unload the GL
/// driver with it) just to find that its image is missing: one context is kept for the headless session instead,
/// so that the parser benchmarks measure reading, not the driver.
std::unique_ptr<sf::Context> g_headlessContext;

/// The generated novel folder, removed at exit.
struct NovelFolder
{
    std::string path;
    ~NovelFolder()
    {
        if (!path.empty())
            std::filesystem::remove_all(path);
    }
} g_folder;

void ReleaseEngine()
{
    if (g_kind != Kind::None)
        zel::Services::ReleaseAll();
    g_headlessContext.reset();
    g_kind = Kind::None;
}

void MakeNovelFolder()
{
    if (!g_folder.path.empty())
        return;
    char pattern[] = "/tmp/quillhaven-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    g_folder.path = pattern;
    std::filesystem::create_directories(g_folder.path + "/Images");
    const sf::Color colours[] = {sf::Color(220, 30, 30), sf::Color(30, 200, 30), sf::Color(30, 30, 210),
                                 sf::Color(200, 200, 40)};
    for (int i = 0; i < 4; ++i)
    {
        sf::Image image;
        image.create(64, 64, colours[i]);
        image.saveToFile(g_folder.path + "/Images/img" + std::to_string(i) + ".png");
    }
    std::filesystem::create_directories(g_folder.path + "/Fonts");
    std::filesystem::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", g_folder.path + "/Fonts/latin.ttf");
    std::filesystem::copy_file("/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf",
                               g_folder.path + "/Fonts/japanese.ttf");
}
} // namespace

void EnsureHeadlessEditor(const wchar_t* scriptName, const std::wstring& text)
{
    if (g_kind == Kind::Headless)
        return;
    ReleaseEngine();
    g_headlessContext = std::make_unique<sf::Context>();
    zel::Services::m_NovelStates.push_back(std::make_shared<zel::NovelState>());
    zel::Services::SysVars()->variables[L"mood"] = L"good";
    zel::Services::pNCommands = std::make_unique<zel::NovelCommands>();
    zel::Services::pNParser =
        std::make_unique<zel::NParser>(std::make_shared<zel::Parser>(scriptName, text, zel::PARSER_MAIN));
    g_kind = Kind::Headless;
}

void EnsureWindowedEditor(unsigned width, unsigned height)
{
    if (g_kind == Kind::Windowed)
        return;
    ReleaseEngine();
    MakeNovelFolder();
    if (chdir(g_folder.path.c_str()) != 0)
        throw std::runtime_error("chdir failed");
    zel::Services::pRenderWindow = std::make_unique<sf::RenderWindow>(sf::VideoMode(width, height), "quillhaven-bench",
                                                                      sf::Style::None, zel::RenderContextSettings());
    zel::Services::pNParser =
        std::make_unique<zel::NParser>(std::make_shared<zel::Parser>(L"main.txt", L"", zel::PARSER_MAIN));
    zel::Services::InitNovelState(false);
    g_kind = Kind::Windowed;
}

namespace
{
/// count cg lines, each a picture of its own, on layers 0..5 and across an 800x600 window.
std::wstring PicturesScript(int count)
{
    std::wstring script;
    for (int i = 0; i < count; ++i)
        script += L"cg pic" + std::to_wstring(i) + L" img" + std::to_wstring(i % 4) + L".png " +
                  std::to_wstring((i * 37) % 736) + L" " + std::to_wstring((i * 53) % 536) + L" " +
                  std::to_wstring(i % 6) + L"\n";
    return script;
}
} // namespace

void ShowButtons(int count)
{
    EnsureWindowedEditor(800, 600);
    std::wstring script;
    for (int i = 0; i < count; ++i)
        script += L"button btn" + std::to_wstring(i) + L" img" + std::to_wstring(i % 4) + L".png " +
                  std::to_wstring((i * 37) % 736) + L" " + std::to_wstring((i * 53) % 536) + L" " +
                  std::to_wstring(i % 6) + L"\n";
    setNovelScriptText(L"main.txt", script.c_str(), count, 1);
    zel::Services::SysVars()->renderMode = 0;
    zel::Services::UpdateEngine(true, true);
}

void ShowPictures(int count)
{
    EnsureWindowedEditor(800, 600);
    const std::wstring script = PicturesScript(count);
    setNovelScriptText(L"main.txt", script.c_str(), count, 1);
    zel::Services::SysVars()->renderMode = 0;
    zel::Services::UpdateEngine(true, true);
}

} // namespace bench
