#include "WindowFixture.h"

#include "quillhaven.h"
#include "resources/Logger.h"
#include "resources/ResourcePool.h"

#include <SFML/Audio/SoundBuffer.hpp>
#include <SFML/Graphics/Texture.hpp>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace testsupport
{
std::string WindowFixture::s_logPath;

void WindowFixture::OpenWindow(unsigned width, unsigned height)
{
    m_previousDir = std::filesystem::current_path().string();
    // The log opens where the first message is written: in the test's own folder, not the novel folder that goes
    // with the fixture.
    s_logPath = std::filesystem::absolute(zel::NHelper::concurrentLogger::Instance().Path()).string();
    m_novel = std::make_unique<TempDir>();
    WriteFile(*m_novel / "Config.xml", ConfigXml());
    std::filesystem::create_directories(*m_novel / "Images");
    ASSERT_EQ(chdir(m_novel->path().c_str()), 0);
    zel::Services::pRenderWindow = std::make_unique<sf::RenderWindow>(sf::VideoMode(width, height), "quillhaven-test",
                                                                      sf::Style::None, zel::RenderContextSettings());
    zel::Services::pNParser =
        std::make_unique<zel::NParser>(std::make_shared<zel::Parser>(L"main.txt", L"", zel::PARSER_MAIN));
    zel::Services::InitNovelState(false);
    zel::Services::pNCommands->commandStrings[L"CmdOptions_noCamera"] = L"noCamera";
    zel::ResourcePool<zel::Texture>::resetLoadMethod();
}

void WindowFixture::TearDown()
{
    zel::Services::ReleaseAll();
    if (!m_previousDir.empty())
        EXPECT_EQ(chdir(m_previousDir.c_str()), 0);
}

void WindowFixture::MakeImage(const std::string& name, unsigned width, unsigned height, sf::Color colour)
{
    sf::Image image;
    image.create(width, height, colour);
    ASSERT_TRUE(image.saveToFile(*m_novel / ("Images/" + name)));
}

void WindowFixture::MakeTone(const std::string& path, float seconds)
{
    const unsigned rate = 8000;
    std::vector<sf::Int16> samples(static_cast<std::size_t>(seconds * rate));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<sf::Int16>(8000 * std::sin(static_cast<double>(i) * 0.1));
    const std::filesystem::path file = std::filesystem::path(m_novel->path()) / path;
    std::filesystem::create_directories(file.parent_path());
    sf::SoundBuffer buffer;
    ASSERT_TRUE(buffer.loadFromSamples(samples.data(), samples.size(), 1, rate));
    ASSERT_TRUE(buffer.saveToFile(file.string()));
}

void WindowFixture::MakeFont(const std::string& name, FontKind kind)
{
    const char* installed = kind == FontKind::Latin ? "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
                                                    : "/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf";
    std::filesystem::create_directories(*m_novel / "Fonts");
    std::filesystem::copy_file(installed, *m_novel / ("Fonts/" + name),
                               std::filesystem::copy_options::overwrite_existing);
}

void WindowFixture::MakeFramedImage(const std::string& name, unsigned width, unsigned height, sf::Color fill,
                                    sf::Color frame)
{
    sf::Image image;
    image.create(width, height, fill);
    for (unsigned x = 0; x < width; ++x)
    {
        image.setPixel(x, 0, frame);
        image.setPixel(x, height - 1, frame);
    }
    for (unsigned y = 0; y < height; ++y)
    {
        image.setPixel(0, y, frame);
        image.setPixel(width - 1, y, frame);
    }
    ASSERT_TRUE(image.saveToFile(*m_novel / ("Images/" + name)));
}

void WindowFixture::ShowLine(const std::wstring& script, int line)
{
    setNovelScriptText(L"main.txt", script.c_str(), line, 1);
}

void WindowFixture::Play(const std::wstring& script)
{
    sysVars().gameMode = 1;
    std::shared_ptr<zel::Parser> parser = zel::MainParser();
    parser->setScriptText(L"main.txt", script, true);
    parser->ReadScript(-1);
}

void WindowFixture::DrawFrame()
{
    const std::uint8_t mode = sysVars().renderMode;
    sysVars().renderMode = 1;
    zel::Services::UpdateEngine(true, false);
    sysVars().renderMode = mode;
}

int WindowFixture::DifferingPixels(const sf::Image& a, const sf::Image& b)
{
    const sf::Vector2u size = a.getSize();
    if (size != b.getSize())
        return static_cast<int>(std::max(size.x * size.y, b.getSize().x * b.getSize().y));
    int differing = 0;
    for (unsigned y = 0; y < size.y; ++y)
        for (unsigned x = 0; x < size.x; ++x)
            differing += a.getPixel(x, y) != b.getPixel(x, y) ? 1 : 0;
    return differing;
}

sf::Image WindowFixture::Capture()
{
    DrawFrame();
    return OnScreen();
}

sf::Image WindowFixture::OnScreen()
{
    const sf::Vector2u size = zel::Services::pRenderWindow->getSize();
    sf::Texture shot;
    shot.create(size.x, size.y);
    shot.update(*zel::Services::pRenderWindow);
    return shot.copyToImage();
}

zel::NSprite* WindowFixture::Sprite(const std::wstring& name)
{
    return dynamic_cast<zel::NSprite*>(entities().Find(name).get());
}

std::string WindowFixture::LogText()
{
    auto& logger = zel::NHelper::concurrentLogger::Instance();
    logger.Flush();
    // The log was opened in the test's own folder, and the novel folder is the current one now.
    return ReadFile(s_logPath);
}

} // namespace testsupport
