// Whether a picture is drawn through the camera is set by each bg or cg line that names it, so moving the cursor
// back must bring back the earlier line's choice. Before, the flag was one value for all lines: the no-camera word
// of a later line stayed in force at earlier lines.

#include "WindowFixture.h"

#include "quillhaven.h"

using namespace testsupport;

namespace
{
class GoingBackRestoresTheCameraFlag : public WindowFixture
{
};
} // namespace

TEST_F(GoingBackRestoresTheCameraFlag, CgAndBackground)
{
    MakeImage("red.png", 64, 64, sf::Color(220, 30, 30));
    const std::wstring script = L"cg a red.png 0 0 1\nbg sky red.png noCamera\n\ncg a red.png 5 5 1 noCamera\n"
                                L"bg sky red.png\n";
    ShowLine(script, 5);
    ASSERT_NE(Sprite(L"a"), nullptr);
    ASSERT_NE(Sprite(L"sky"), nullptr);
    EXPECT_FALSE(Sprite(L"a")->inCamera());
    EXPECT_TRUE(Sprite(L"sky")->inCamera());

    setNovelScriptText(L"main.txt", script.c_str(), 3, 0);
    zel::Services::UpdateEngine(true, true);
    EXPECT_TRUE(Sprite(L"a")->inCamera());
    EXPECT_FALSE(Sprite(L"sky")->inCamera());

    // Forwards again: the later lines' choices come back.
    setNovelScriptText(L"main.txt", script.c_str(), 5, 0);
    EXPECT_FALSE(Sprite(L"a")->inCamera());
    EXPECT_TRUE(Sprite(L"sky")->inCamera());
}
