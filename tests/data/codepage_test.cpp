#include <cstdlib>
#include <gtest/gtest.h>

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
    // Detection runs once per process; here it is checked through a child process so the
    // environment of each case is its own.
    const auto detect = [](const char* env) {
        const std::string cmd =
            std::string("env -u QMVWIN_CODEPAGE -u LC_ALL -u LC_CTYPE -u LANG ") + env + " " +
            QMV_BINARY_DIR + "/bin/qmvdata_tests --gtest_filter=CodePage.PrintActive 2>/dev/null" +
            " | grep '^codepage=' | cut -d= -f2";
        FILE* p = popen(cmd.c_str(), "r");
        char buf[32] = {};
        if (p) {
            if (!fgets(buf, sizeof buf, p))
                buf[0] = 0;
            pclose(p);
        }
        return std::atoi(buf);
    };
    EXPECT_EQ(detect("LANG=ja_JP.UTF-8"), 932);
    EXPECT_EQ(detect("LANG=zh_CN.UTF-8"), 936);
    EXPECT_EQ(detect("LANG=zh_TW.UTF-8"), 950);
    EXPECT_EQ(detect("LANG=ko_KR.UTF-8"), 949);
    EXPECT_EQ(detect("LANG=de_DE.UTF-8"), 1252);
    EXPECT_EQ(detect("LANG=C"), 1252);
    EXPECT_EQ(detect("LANG=de_DE.UTF-8 LC_ALL=ja_JP.UTF-8"), 932);
    EXPECT_EQ(detect("LANG=ja_JP.UTF-8 QMVWIN_CODEPAGE=1252"), 1252);
}

TEST(CodePage, PrintActive) {
    std::printf("codepage=%d\n", ActiveCodePage());
    EXPECT_GT(ActiveCodePage(), 0);
}
