#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>

#include "data/codepage.h"

using namespace qmv;

TEST(CodePage, ConvertsBothWays) {
    const std::string aiueo = "\x82\xA0\x82\xA2"; // "あい" in code page 932
    EXPECT_EQ(CodePageToUtf8(aiueo, 932), "\xE3\x81\x82\xE3\x81\x84");
    EXPECT_EQ(Utf8ToCodePage("\xE3\x81\x82\xE3\x81\x84", 932), aiueo);
    EXPECT_EQ(CodePageToUtf8("caf\xE9", 1252), "caf\xC3\xA9");
    EXPECT_EQ(Utf8ToCodePage("caf\xC3\xA9", 1252), "caf\xE9");
    EXPECT_EQ(CodePageToUtf8("plain", 932), "plain");
}

TEST(CodePage, BadBytesAndMissingCharactersNeverFail) {
    // A lead byte with nothing after it, in the middle and at the end.
    EXPECT_EQ(CodePageToUtf8("a\x82", 932), "a\xEF\xBF\xBD");
    EXPECT_EQ(CodePageToUtf8(std::string("\xFF\xFF", 2), 932).empty(), false);
    // Japanese has no place in 1252: each character becomes one question mark.
    EXPECT_EQ(Utf8ToCodePage("x\xE3\x81\x82y", 1252), "x?y");
}

TEST(CodePage, LeadBytes) {
    EXPECT_TRUE(IsLeadByte(0x81, 932));
    EXPECT_TRUE(IsLeadByte(0x9F, 932));
    EXPECT_TRUE(IsLeadByte(0xE0, 932));
    EXPECT_TRUE(IsLeadByte(0xFC, 932));
    EXPECT_FALSE(IsLeadByte(0xA0, 932)); // half-width katakana are single bytes
    EXPECT_FALSE(IsLeadByte(0xDF, 932));
    EXPECT_FALSE(IsLeadByte(0x41, 932));
    EXPECT_TRUE(IsLeadByte(0xA1, 936));
    EXPECT_TRUE(IsLeadByte(0xFE, 950));
    EXPECT_FALSE(IsLeadByte(0x80, 949));
    EXPECT_FALSE(IsLeadByte(0x82, 1252));
}

TEST(CodePage, WholeCharPrefixNeverSplitsACharacter) {
    const std::string text = "abc\x82\xA0\x82\xA2"; // abc + two double-byte characters
    EXPECT_EQ(WholeCharPrefix(text, 7, 932), 7u);
    EXPECT_EQ(WholeCharPrefix(text, 6, 932), 5u);
    EXPECT_EQ(WholeCharPrefix(text, 4, 932), 3u);
    EXPECT_EQ(WholeCharPrefix(text, 100, 932), 7u);
    EXPECT_EQ(WholeCharPrefix(text, 6, 1252), 6u);
}

TEST(CodePage, ChosenFromLocaleUnlessOverridden) {
    const char* names[] = {"QMVWIN_CODEPAGE", "LC_ALL", "LC_CTYPE", "LANG"};
    std::optional<std::string> saved[4];
    for (int i = 0; i < 4; ++i)
        if (const char* value = std::getenv(names[i]))
            saved[i] = value;
    // The four variables in the order above (nullptr: not set), and the code page they give.
    const struct {
        const char* env[4];
        int codePage;
    } cases[] = {{{nullptr, nullptr, nullptr, "ja_JP.UTF-8"}, 932},
                 {{nullptr, nullptr, nullptr, "zh_CN.UTF-8"}, 936},
                 {{nullptr, nullptr, nullptr, "zh_TW.UTF-8"}, 950},
                 {{nullptr, nullptr, nullptr, "ko_KR.UTF-8"}, 949},
                 {{nullptr, nullptr, nullptr, "de_DE.UTF-8"}, 1252},
                 {{nullptr, nullptr, nullptr, "C"}, 1252},
                 {{nullptr, "ja_JP.UTF-8", nullptr, "de_DE.UTF-8"}, 932},
                 {{nullptr, nullptr, "ko_KR.UTF-8", "de_DE.UTF-8"}, 949},
                 {{"1252", nullptr, nullptr, "ja_JP.UTF-8"}, 1252}};
    for (const auto& c : cases) {
        for (int i = 0; i < 4; ++i)
            c.env[i] ? ::setenv(names[i], c.env[i], 1) : ::unsetenv(names[i]);
        EXPECT_EQ(DetectCodePage(), c.codePage) << "case " << &c - cases;
    }
    for (int i = 0; i < 4; ++i)
        saved[i] ? ::setenv(names[i], saved[i]->c_str(), 1) : ::unsetenv(names[i]);
}
