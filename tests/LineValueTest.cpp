// Line-versioned values: what the editor reads at a line, and where play-testing writes.

#include "entities/LineValue.h"
#include "CoreFixture.h"

using testsupport::CoreFixture;
using zel::LineValue;

class LineValueTest : public CoreFixture
{
};

TEST_F(LineValueTest, EditingReadsTheValueOfTheLineUnderTheCursor)
{
    LineValue<int> value(-1);
    SetMainLine(5);
    value.set(50, false);
    SetMainLine(9);
    value.set(90, false);

    SetMainLine(12);
    EXPECT_EQ(value.get(true), 90);
    SetMainLine(7);
    EXPECT_EQ(value.get(false), 90) << "without pruning the newest entry stays";
    EXPECT_EQ(value.get(true), 50) << "pruning forgets what line 9 stored";
    SetMainLine(3);
    EXPECT_EQ(value.get(true), -1) << "before the first entry the default shows";
    EXPECT_TRUE(value.empty());
}

TEST_F(LineValueTest, EditingReplacesTheEntryOfTheSameLine)
{
    LineValue<int> value;
    SetMainLine(4);
    value.set(1, false);
    value.set(2, true);
    ASSERT_EQ(value.entries().size(), 1u);
    EXPECT_EQ(value.get(true), 2);
}

TEST_F(LineValueTest, PlayingAppendsAfterThePlayStartLine)
{
    LineValue<int> value;
    sysVars().editorLine = 6;
    SetPlaying(true);
    SetMainLine(30);
    value.set(1, true); // empty history: lands after the line where playing started
    value.set(2, true);
    value.set(3, true);
    EXPECT_EQ(value.entries().begin()->first, 7);
    EXPECT_EQ(value.entries().rbegin()->first, 9);
    value.set(4, false);
    EXPECT_EQ(value.entries().at(7), 4) << "a non-appending set replaces the play-start entry";
    SetMainLine(0);
    EXPECT_EQ(value.get(true), 3) << "playing never prunes";
}

TEST_F(LineValueTest, KeepBeforeAndPruneAfterCutAtTheRightSideOfTheLine)
{
    LineValue<int> value;
    for (int line : {2, 4, 6})
    {
        SetMainLine(line);
        value.set(line, false);
    }
    LineValue<int> kept = value;
    kept.keepBefore(4);
    EXPECT_EQ(kept.entries().size(), 1u);
    value.pruneAfter(4);
    EXPECT_EQ(value.entries().size(), 2u);
}
