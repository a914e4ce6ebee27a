#include <gtest/gtest.h>

#include <sys/stat.h>

#include "data/codepage.h"
#include "data/paths.h"
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

TEST(ProfileFile, OnePairOfSurroundingQuotesIsRemoved) {
    ProfileFile f;
    // A byte-order mark in front must not hide the first section.
    f.LoadBytes("\xEF\xBB\xBF[Main]\r\n"
                "Double=\"  spaced  \"\r\n"
                "Single='it''s'\r\n"
                "Twice=\"\"inner\"\"\r\n"
                "Unmatched=\"open\r\n"
                "Mixed=\"a'\r\n"
                "Inside=say \"hi\"\r\n"
                "Lone=\"\r\n");
    EXPECT_EQ(f.Value("Main", "Double"), "  spaced  ");
    EXPECT_EQ(f.Value("Main", "Single"), "it''s");
    EXPECT_EQ(f.Value("Main", "Twice"), "\"inner\"");
    EXPECT_EQ(f.Value("Main", "Unmatched"), "\"open");
    EXPECT_EQ(f.Value("Main", "Mixed"), "\"a'");
    EXPECT_EQ(f.Value("Main", "Inside"), "say \"hi\"");
    EXPECT_EQ(f.Value("Main", "Lone"), "\"");
}

TEST(ProfileFile, LongValuesAreCutTo255Bytes) {
    ProfileFile f;
    f.LoadBytes("[Msg]\r\nMsgNoDir=" + std::string(300, 'x') + "\r\n");
    EXPECT_EQ(f.Value("Msg", "MsgNoDir"), std::string(255, 'x'));
}

TEST(TextTable, MissingOrUnreadableFileGivesEmptyTexts) {
    TempDir dir;
    ASSERT_EQ(::mkdir((dir / "QMVLanguage.Lib").c_str(), 0700), 0);
    WriteBytes(dir / "sparse.Lib", "[Main]\r\nCaption=x\r\n");
    ASSERT_EQ(::truncate((dir / "sparse.Lib").c_str(), 200LL << 30), 0);
    for (const std::string& path :
         {std::string("/nonexistent/QMVLanguage.Lib"), dir / "QMVLanguage.Lib",
          std::string("/dev/null"), dir / "sparse.Lib"}) {
        TextTable t;
        bool loaded = true;
        EXPECT_NO_THROW(loaded = t.Load(path)) << path;
        EXPECT_FALSE(loaded) << path;
        EXPECT_EQ(t.Text("Main", "Caption"), "");
        EXPECT_EQ(t.Text("Msg", "MsgSaveErr"), "");
    }
    // A folder in the file's place counts as missing when the installed copy is looked for.
    const std::string program = dir / "bin/";
    ASSERT_EQ(::mkdir(program.c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((program + LanguageFileName).c_str(), 0700), 0);
    ASSERT_EQ(::system(("mkdir -p '" + dir.path() + "/share/qmvwin'").c_str()), 0);
    const std::string installed = dir / "share/qmvwin/QMVLanguage.Lib";
    WriteBytes(installed, "[Main]\r\nCaption=x\r\n");
    EXPECT_EQ(FindLanguageFile(program), program + "../share/qmvwin/" + LanguageFileName);
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
    // 130 texts of the interface text table, the notice of levels clamped by a conversion, and
    // the three lines that say why a port was refused; then three outcomes of printing; then the
    // download history's memo line and its three messages; then the three of crash recovery;
    // then the data folder's label and chooser, the file errors' reasons, and help's two.
    EXPECT_EQ(keys.size() - main, 156u);
    EXPECT_EQ(std::string(keys.front().key), "Caption");
    EXPECT_EQ(std::string(keys.back().key), "MsgNoViewer");
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
