// A cg line naming an existing picture but an image that cannot be loaded leaves the picture showing its old image.
// The failed load used to empty the state's texture handle while the sprite still pointed at the texture, so the
// next frame drew from freed memory once nothing else held the image.

#include "WindowFixture.h"

#include "resources/ResourcePool.h"

using namespace testsupport;

namespace
{
class FailedImageLoad : public WindowFixture
{
};
} // namespace

TEST_F(FailedImageLoad, KeepsTheShownImage)
{
    MakeImage("hero.png", 8, 8, sf::Color::Blue);
    ShowLine(L"cg hero hero.png 0 0 1\ncg hero missing.png 4 4 1\n", 2);
    zel::NSprite* hero = Sprite(L"hero");
    ASSERT_NE(hero, nullptr);
    EXPECT_NE(LogText().find("texture does not exist:missing.png"), std::string::npos);
    zel::sSprite* state = hero->getCurrentSprite();
    ASSERT_NE(state, nullptr);
    ASSERT_NE(state->m_pTexture, nullptr);
    EXPECT_EQ(state->getTexture(), &state->m_pTexture->texture) << "the sprite draws the texture its state holds";
    // Only the states hold the image now; the frame must still draw it.
    EXPECT_EQ(Capture().getPixel(1, 1), sf::Color::Blue);
}
