// Wide and narrow text conversions and line splitting.

#include "core/NovelState.h"
#include "resources/NHelper.h"
#include "CoreFixture.h"

#include <gtest/gtest.h>

#include <clocale>

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
    // The same blanks in every locale: the test runs in the C locale, where the C library knows no Unicode space.
    for (const char* locale : {"C", "C.UTF-8"})
    {
        ASSERT_NE(std::setlocale(LC_ALL, locale), nullptr);
        EXPECT_EQ(Tokenize(L"\u3000\u3000\u300C\u3000\u2003text\u00A0kept\u2007too\u205F"),
                  (std::vector<std::wstring>{L"\u300C", L"text\u00A0kept\u2007too"}))
            << locale;
    }
    std::setlocale(LC_ALL, "C");
}

struct NumberCase
{
    std::vector<std::wstring> tokens;
    bool allowSign;
    bool isNumber;
};

class IsNumberTokensTest : public ::testing::TestWithParam<NumberCase>
{
};

TEST_P(IsNumberTokensTest, AcceptsOnlyWholeDecimalNumbers)
{
    EXPECT_EQ(IsNumberTokens(GetParam().tokens, GetParam().allowSign), GetParam().isNumber);
}

INSTANTIATE_TEST_SUITE_P(Tokens, IsNumberTokensTest,
                         ::testing::Values(NumberCase{{L"-12", L"+3", L"0"}, true, true},
                                           NumberCase{{L"-12"}, false, false}, NumberCase{{L"-"}, true, false},
                                           NumberCase{{L"+"}, true, false}, NumberCase{{L"1.5"}, true, false},
                                           NumberCase{{L"12a"}, true, false}, NumberCase{{L"12", L"x"}, true, false},
                                           NumberCase{{L""}, true, true}, NumberCase{{}, false, true},
                                           NumberCase{{L"\uFF11"}, true, false})); // a full-width digit is no digit

TEST(NHelperTest, UnquotedTakesOffOnlyAPairOfOuterQuoteMarks)
{
    const std::vector<std::pair<std::wstring, std::wstring>> cases{
        {L"'my ben.png'", L"my ben.png"},   {L"\"my ben.png\"", L"my ben.png"},
        {L"'mixed marks\"", L"mixed marks"}, // paired as a script line pairs them
        {L"plain.png", L"plain.png"},       {L"'unclosed.png", L"'unclosed.png"},
        {L"ben's.png", L"ben's.png"},       {L"'it''s.png'", L"it''s.png"},
        {L"''", L""},                       {L"'", L"'"},
        {L"", L""},
    };
    for (const auto& [word, unquoted] : cases)
        EXPECT_EQ(Unquoted(word), unquoted) << ws2s(word);
    EXPECT_TRUE(ClimbsOut(L"'../secret.wav'")) << "a quoted name is checked as the path made of it";
    EXPECT_FALSE(ClimbsOut(L"'my ben.png'"));
    zel::SystemVariables sysVars;
    EXPECT_EQ(sysVars.FilePath(zel::DATA_IMAGES, L"'my ben.png'"), L"Images/my ben.png");
    EXPECT_EQ(sysVars.FilePath(zel::DATA_FONTS, L"\"a b.ttf\""), L"Fonts/a b.ttf");
}

TEST(NHelperTest, ReplaceAllScansOnAfterEachReplacement)
{
    std::wstring path = L"Images\\sub\\a.png";
    ReplaceAll(path, L"\\", L"/");
    EXPECT_EQ(path, L"Images/sub/a.png");
    std::wstring text = L"aaa";
    ReplaceAll(text, L"a", L"aa");
    EXPECT_EQ(text, L"aaaaaa") << "inserted text is not scanned again";
    ReplaceAll(text, L"", L"x");
    EXPECT_EQ(text, L"aaaaaa");
}

TEST(NHelperTest, NumberConversionsReadTheLeadingNumber)
{
    EXPECT_EQ(ToInt(L"  -42px"), -42);
    EXPECT_EQ(ToInt(L"+7"), 7);
    EXPECT_FLOAT_EQ(ToFloat(L"0.25s"), 0.25f);
    EXPECT_EQ(ToDecimal(-305), L"-305");
    try
    {
        ToInt(L"abc");
        FAIL() << "no number must throw";
    }
    catch (const std::invalid_argument& e)
    {
        EXPECT_STREQ(e.what(), "invalid stoi argument");
    }
    try
    {
        ToInt(L"99999999999");
        FAIL() << "out of range must throw";
    }
    catch (const std::out_of_range& e)
    {
        EXPECT_STREQ(e.what(), "stoi argument out of range");
    }
}

class NumberWarningTest : public testsupport::CoreFixture
{
};

TEST_F(NumberWarningTest, WarnsOncePerMainScriptLine)
{
    auto warnings = [] {
        const std::string log = LogText();
        std::size_t count = 0;
        for (std::size_t pos = log.find("WARNING. TOKEN NOT A NUMBER"); pos != std::string::npos;
             pos = log.find("WARNING. TOKEN NOT A NUMBER", pos + 1))
            ++count;
        return count;
    };
    const std::size_t before = warnings();
    SetMainLine(41);
    EXPECT_FALSE(IsNumberTokens({L"x"}, true));
    EXPECT_FALSE(IsNumberTokens({L"y"}, false));
    EXPECT_EQ(warnings(), before + 1);
    SetMainLine(42);
    EXPECT_FALSE(IsNumberTokens({L"z"}, true));
    EXPECT_EQ(warnings(), before + 2);
}
