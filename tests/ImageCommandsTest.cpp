// The picture commands seen on the screen: what bg and cg lines put in the window and in the registry.

#include "WindowFixture.h"

using namespace testsupport;

namespace
{
class ImageCommandsTest : public WindowFixture
{
};
} // namespace

TEST_F(ImageCommandsTest, BackgroundFillsTheWindowAndIsNeverDoubled)
{
    MakeImage("a.png", 32, 24, sf::Color(200, 40, 40));
    const std::wstring script = L"bg a.png\nbg a.png\n";
    ShowLine(script, 2);
    const sf::Image shot = Capture();
    EXPECT_EQ(shot.getPixel(0, 0), sf::Color(200, 40, 40));
    EXPECT_EQ(shot.getPixel(319, 239), sf::Color(200, 40, 40));
    EXPECT_EQ(entities().CountInLayers(), 1u);
    ASSERT_NE(Sprite(L"sys_BG"), nullptr);
}
