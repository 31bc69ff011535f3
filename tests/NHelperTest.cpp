// Wide and narrow text conversions and line splitting.

#include "NHelper.h"

#include <gtest/gtest.h>

using namespace zel::NHelper;

TEST(NHelperTest, Utf8RoundTripKeepsEveryCodePoint)
{
    const std::wstring text = L"Zeile ä 名前 \U0001F600 end";
    const std::string narrow = ws2s(text);
    EXPECT_EQ(narrow, "Zeile \xC3\xA4 \xE5\x90\x8D\xE5\x89\x8D \xF0\x9F\x98\x80 end");
    EXPECT_EQ(s2ws(narrow), text);
    EXPECT_EQ(s2ws("\xF0\x9F\x98\x80").size(), 1u) << "a four-byte character stays one character";
}

TEST(NHelperTest, InvalidUtf8BecomesReplacementCharacters)
{
    EXPECT_EQ(s2ws("a\xFF"
                   "b"),
              L"a\uFFFDb");
    EXPECT_EQ(s2ws("\xE5\x90"), L"\uFFFD\uFFFD") << "a cut sequence loses only its own bytes";
    EXPECT_EQ(s2ws("\xC0\xAF"), L"\uFFFD\uFFFD") << "overlong forms are refused";
    EXPECT_EQ(s2ws("\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD") << "surrogates are refused";
    EXPECT_EQ(FirstInvalidUtf8("ok \xC3\xA4 \xFF"), 6u);
    EXPECT_EQ(FirstInvalidUtf8("fine"), std::string::npos);
}

TEST(NHelperTest, TokenizeSplitsAtRunsOfWhitespace)
{
    EXPECT_TRUE(Tokenize(L" \t  \r").empty());
    EXPECT_EQ(Tokenize(L"bg\tpicture.png  fade\r"), (std::vector<std::wstring>{L"bg", L"picture.png", L"fade"}));
    EXPECT_EQ(Tokenize(L"\uFEFFbg x").front(), L"\uFEFFbg") << "a byte-order mark is not whitespace";
}
