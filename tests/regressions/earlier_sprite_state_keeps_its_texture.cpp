// A picture whose image changed at a later line must still draw its earlier look: each line's state holds its own
// texture. Before, the picture held only the newest texture and earlier states pointed at a freed one.

#include "TestSupport.h"
#include "core/NovelState.h"
#include "core/Services.h"
#include "entities/NSprite.h"

#include <SFML/Graphics/Image.hpp>
#include <gtest/gtest.h>

using namespace testsupport;

TEST(Regression, EarlierSpriteStateKeepsItsTexture)
{
    TempDir dir;
    WriteFile(dir / "Images/.keep", "");
    sf::Image small, large;
    small.create(2, 2, sf::Color::Red);
    large.create(4, 4, sf::Color::Blue);
    ASSERT_TRUE(small.saveToFile(dir / "Images/small.png"));
    ASSERT_TRUE(large.saveToFile(dir / "Images/large.png"));
    EXPECT_EQ(RunInChild(dir.path(),
                         [] {
                             zel::Services::m_NovelStates.push_back(std::make_shared<zel::NovelState>());
                             // Playing: every new state lands on a line of its own.
                             zel::Services::m_NovelStates.back()->sysVars.gameMode = 1;
                             zel::NSprite picture(zel::NTYPE_CG, L"hero", 0);
                             if (!picture.loadTexture(L"small.png"))
                                 return 1;
                             const zel::sSprite* first = picture.getCurrentSprite();
                             picture.pushNewState(5);
                             if (!picture.loadTexture(L"large.png"))
                                 return 2;
                             const sf::Texture* earlier = first->getTexture();
                             const sf::Texture* later = picture.getCurrentSprite()->getTexture();
                             if (earlier == nullptr || later == nullptr)
                                 return 3;
                             return earlier->getSize() == sf::Vector2u(2, 2) && later->getSize() == sf::Vector2u(4, 4)
                                        ? 0
                                        : 4;
                         }),
              0);
}
