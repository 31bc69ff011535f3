#pragma once
// A fixture with a real render window under the test's X server (Xvfb in CI): a novel folder of generated images,
// the engine state as an editor has it after start-up, and a capture of what the window shows.

#include "TestSupport.h"
#include "core/Services.h"
#include "entities/NSprite.h"
#include "script/Parser.h"

#include <SFML/Graphics/Image.hpp>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace testsupport
{

class WindowFixture : public ::testing::Test
{
protected:
    /// The novel folder becomes the current folder; the window is width x height.
    void OpenWindow(unsigned width, unsigned height);
    void SetUp() override { OpenWindow(320, 240); }
    void TearDown() override;

    /// Writes a one-coloured PNG into Images/.
    void MakeImage(const std::string& name, unsigned width, unsigned height, sf::Color colour);
    /// Writes a PNG with a 1-pixel frame of another colour, to see edges.
    void MakeFramedImage(const std::string& name, unsigned width, unsigned height, sf::Color fill, sf::Color frame);

    /// Writes a quiet sine tone of the given length as a WAV file at path (relative to the novel folder).
    void MakeTone(const std::string& path, float seconds);
    /// Copies an installed font into Fonts/ under name: DejaVu Sans (Latin), or VL Gothic (Japanese glyphs).
    enum class FontKind
    {
        Latin,
        Japanese
    };
    void MakeFont(const std::string& name, FontKind kind = FontKind::Latin);

    /// Editing: hands the script to the engine with the cursor on line (as the editor does on every change).
    void ShowLine(const std::wstring& script, int line);
    /// Playing: reads the script from its first line until it waits or ends.
    void Play(const std::wstring& script);
    /// One frame that draws and presents at once, whatever the pacing.
    void DrawFrame();
    /// What the window shows after one forced frame.
    sf::Image Capture();
    /// What the last frame presented, with no frame drawn for it: the engine presents by copying the back buffer,
    /// which keeps the picture. (Read from the X server instead, a window of a test running beside this one could
    /// cover it.)
    sf::Image OnScreen();

    zel::EntityRegistry& entities() { return *zel::Services::Entities(); }
    zel::SystemVariables& sysVars() { return *zel::Services::SysVars(); }
    /// The picture of that name, or null.
    zel::NSprite* Sprite(const std::wstring& name);
    /// Every logged line so far.
    static std::string LogText();
    /// How many pixels two pictures of one size differ in (every pixel when their sizes differ).
    static int DifferingPixels(const sf::Image& a, const sf::Image& b);

    std::unique_ptr<TempDir> m_novel;
    std::string m_previousDir;
    static std::string s_logPath;
};

} // namespace testsupport
