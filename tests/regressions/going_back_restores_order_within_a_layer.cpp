// Moving the cursor back must give each layer list the order that a read from the top gives, since pictures of one
// layer are drawn in list order. Before, a layer move at a later line (into the same layer, or out and back by the
// rewind) left the picture last in its list, drawn over pictures that were above it at the cursor's line.

#include "WindowFixture.h"

#include "quillhaven.h"

using namespace testsupport;

namespace
{
class GoingBackRestoresOrderWithinALayer : public WindowFixture
{
protected:
    std::vector<std::wstring> Names(int layer)
    {
        std::vector<std::wstring> names;
        for (const zel::EntityPtr& entity : entities().entityLayers[layer])
            names.push_back(entity->name);
        return names;
    }
};
} // namespace

TEST_F(GoingBackRestoresOrderWithinALayer, MoveIntoTheSameLayerAtALaterLine)
{
    MakeImage("red.png", 64, 64, sf::Color(220, 30, 30));
    MakeImage("green.png", 32, 32, sf::Color(30, 200, 30));
    const std::wstring script = L"cg a red.png 0 0 1\ncg b green.png 0 0 1\n\nlayer a 1\n";
    ShowLine(script, 4);
    EXPECT_EQ(Names(1), (std::vector<std::wstring>{L"b", L"a"}));
    setNovelScriptText(L"main.txt", script.c_str(), 3, 0);
    zel::Services::UpdateEngine(true, true);
    EXPECT_EQ(Names(1), (std::vector<std::wstring>{L"a", L"b"}));
    // The green picture is drawn over the red one again.
    EXPECT_EQ(Capture().getPixel(10, 10), sf::Color(30, 200, 30));
}

TEST_F(GoingBackRestoresOrderWithinALayer, RewindFromAnotherLayer)
{
    MakeImage("red.png", 64, 64, sf::Color(220, 30, 30));
    MakeImage("green.png", 32, 32, sf::Color(30, 200, 30));
    const std::wstring script = L"cg a red.png 0 0 1\ncg b green.png 0 0 1\n\nlayer a 2\n";
    ShowLine(script, 4);
    EXPECT_EQ(Names(2), (std::vector<std::wstring>{L"a"}));
    setNovelScriptText(L"main.txt", script.c_str(), 3, 0);
    zel::Services::UpdateEngine(true, true);
    EXPECT_EQ(Names(1), (std::vector<std::wstring>{L"a", L"b"}));
    EXPECT_TRUE(Names(2).empty());
    EXPECT_EQ(Capture().getPixel(10, 10), sf::Color(30, 200, 30));
    // Reading on from there moves it again, to the end of layer 2's list.
    setNovelScriptText(L"main.txt", script.c_str(), 4, 0);
    zel::Services::UpdateEngine(true, true);
    EXPECT_EQ(Names(2), (std::vector<std::wstring>{L"a"}));
    EXPECT_EQ(Names(1), (std::vector<std::wstring>{L"b"}));
}
