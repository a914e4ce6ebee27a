#include <gtest/gtest.h>

#include "data/codepage.h"
#include "data/profile.h"
#include "testutil.h"

using namespace qmv;
using qmv::test::TempDir;
using qmv::test::WriteBytes;

TEST(ProfileFile, PrivateProfileSemantics) {
    ProfileFile f;
    f.LoadBytes("; comment\r\n"
                "Orphan=before any section\r\n"
                "[Main]\r\n"
                "Caption =  QMVwin  \r\n"
                "caption=second wins never\r\n"
                "Empty=\r\n"
                "NoEquals\r\n"
                "[ msg ]\r\n"
                "MsgSaveErr=Could not save = really\r\n"
                "[Main]\r\n"
                "MenuF=File\n");
    EXPECT_EQ(f.Value("Main", "Caption"), "QMVwin");
    EXPECT_EQ(f.Value("MAIN", "CAPTION"), "QMVwin"); // first match wins, any case
    EXPECT_EQ(f.Value("Msg", "msgsaveerr"), "Could not save = really");
    EXPECT_EQ(f.Value("Main", "MenuF"), "File"); // a section may appear twice
    EXPECT_EQ(f.Value("Main", "Empty"), "");
    EXPECT_EQ(f.Value("Main", "Missing"), "");
    EXPECT_EQ(f.Value("Nowhere", "Caption"), "");
    EXPECT_EQ(f.Value("", "Orphan"), "");
}

TEST(ProfileFile, LongValuesAreCutTo255Bytes) {
    ProfileFile f;
    f.LoadBytes("[Msg]\r\nMsgNoDir=" + std::string(300, 'x') + "\r\n");
    EXPECT_EQ(f.Value("Msg", "MsgNoDir"), std::string(255, 'x'));
}

TEST(TextTable, MissingFileGivesEmptyTexts) {
    TextTable t;
    EXPECT_FALSE(t.Load("/nonexistent/QMVLanguage.Lib"));
    EXPECT_EQ(t.Text("Main", "Caption"), "");
    EXPECT_EQ(t.Text("Msg", "MsgSaveErr"), "");
}

TEST(TextTable, LoadsOnlyKnownKeysCaseInsensitively) {
    TempDir dir;
    WriteBytes(dir / "QMVLanguage.Lib", "[graph]\r\nnewfile=Untitled\r\n[Msg]\r\nMsgFileErr=Bad\r\n"
                                        "Unknown=ignored\r\n");
    TextTable t;
    ASSERT_TRUE(t.Load(dir / "QMVLanguage.Lib"));
    EXPECT_EQ(t.Text("Graph", "NewFile"), "Untitled");
    EXPECT_EQ(t.Text("GRAPH", "newFILE"), "Untitled");
    EXPECT_EQ(t.Text("Msg", "MsgFileErr"), "Bad");
    EXPECT_EQ(t.Text("Msg", "MsgSaveErr"), "");
    EXPECT_EQ(t.Text("Msg", "Unknown"), "");
}

TEST(TextTable, KeyListCoversEveryText) {
    const auto& keys = TextTable::Keys();
    std::size_t main = 0;
    for (const TextKey& k : keys)
        main += std::string(k.section) == "Main";
    EXPECT_EQ(keys.size() - main, 130u);
    EXPECT_EQ(std::string(keys.front().key), "Caption");
    EXPECT_EQ(std::string(keys.back().key), "MsgNoDir");
}

namespace {
// Every key of the table is present and non-empty in a shipped language file.
void ExpectComplete(const std::string& path) {
    ProfileFile f;
    ASSERT_TRUE(f.LoadFile(path)) << path;
    for (const TextKey& k : TextTable::Keys())
        EXPECT_FALSE(f.Value(k.section, k.key).empty())
            << path << ": " << k.section << "/" << k.key;
}
} // namespace

TEST(LanguageFiles, EnglishAndJapaneseAreComplete) {
    ExpectComplete(std::string(QMV_SOURCE_DIR) + "/lang/en/QMVLanguage.Lib");
    ExpectComplete(std::string(QMV_SOURCE_DIR) + "/lang/ja/QMVLanguage.Lib");
}

TEST(LanguageFiles, JapaneseDecodesFromCodePage932) {
    TextTable t;
    ASSERT_TRUE(t.Load(std::string(QMV_SOURCE_DIR) + "/lang/ja/QMVLanguage.Lib"));
    const std::string bytes = t.Text("Main", "MenuF");
    ASSERT_FALSE(bytes.empty());
    EXPECT_TRUE(IsLeadByte(static_cast<unsigned char>(bytes[0]), 932));
    const std::string utf8 = CodePageToUtf8(bytes, 932);
    EXPECT_EQ(utf8.find("\xEF\xBF\xBD"), std::string::npos) << "undecodable bytes";
    EXPECT_EQ(Utf8ToCodePage(utf8, 932), bytes);
    // Every text decodes without a replacement character.
    for (const TextKey& k : TextTable::Keys())
        EXPECT_EQ(CodePageToUtf8(t.Text(k.section, k.key), 932).find("\xEF\xBF\xBD"),
                  std::string::npos)
            << k.section << "/" << k.key;
}
