// While playing, a picture that a fade-out marked for removal and that a later cg line shows again must show. The
// fade-out's mark is appended after the newest entry; the cg line used to clear the mark at the play-start line
// instead, under it, so the old mark still won and the picture stayed hidden and was then buried.

#include "WindowFixture.h"

#include "commands/CmdHandlers.h"

using namespace testsupport;

namespace
{
class PictureShownAgain : public WindowFixture
{
};
} // namespace

TEST_F(PictureShownAgain, AfterAFadeOutWhilePlaying)
{
    MakeImage("hero.png", 8, 8, sf::Color::Green);
    Play(L"cg hero hero.png 0 0 1\n");
    zel::NSprite* hero = Sprite(L"hero");
    ASSERT_NE(hero, nullptr);
    hero->markRemoved(true, true);
    hero->markRemoved(true, true); // as a finished fade-out leaves it, after other appended changes
    zel::CmdHandlers::ExecuteCG({L"cg", L"hero", L"hero.png", L"0", L"0", L"1"});
    EXPECT_FALSE(hero->isMarkedRemoved());
    zel::Services::UpdateEngine(true, true);
    EXPECT_NE(Sprite(L"hero"), nullptr) << "the frame after must not bury it";
    EXPECT_EQ(Capture().getPixel(2, 2), sf::Color::Green);
}
