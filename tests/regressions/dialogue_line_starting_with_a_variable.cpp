// A dialogue line read outside text mode whose text begins with a global variable, as the message-box script's
// "{{msg_str}} line does. The variable used to replace the line's whole first word, its quote mark too, so the line
// was taken for an unknown command and nothing was shown.

#include "WindowFixture.h"

#include "entities/NTextbox.h"

using namespace testsupport;

namespace
{
class DialogueLineStartingWithAVariable : public WindowFixture
{
};
} // namespace

TEST_F(DialogueLineStartingWithAVariable, IsShownWithTheValue)
{
    MakeFont("f.ttf");
    sysVars().variables[L"msg_str"] = L"'Leave now?'";
    Play(L"textbox box 0 0 1 300 100 f.ttf 20\nuseTextbox box\n\"{{msg_str}}\n-\" Really?\n");
    std::shared_ptr<zel::NTextbox> box = zel::NTextbox::From(entities().Find(L"box"));
    ASSERT_NE(box, nullptr);
    ASSERT_NE(box->getCurrentText(), nullptr);
    EXPECT_EQ(box->getCurrentText()->text(), L"'Leave now?' Really?");
    EXPECT_EQ(LogText().find("UNKNOWN or INVALID COMMAND:''Leave"), std::string::npos);
}
