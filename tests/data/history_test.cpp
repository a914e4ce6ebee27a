// The download history's folder, names, memo line, writer and listing.
#include <gtest/gtest.h>

#include "data/history.h"
#include "testutil.h"

namespace qmv {
namespace {

std::tm At(int y, int mo, int d, int h, int mi, int s) {
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return t;
}

DocumentData Logger(int records) {
    DocumentData doc;
    doc.Model = ModelQMV27;
    for (int i = 0; i < records; ++i)
        doc.Records.push_back({ZeroPad(i + 1, 5), "0001", "0002", "0003", "045", "0",
                               "2026/12/08 21:05", "1", "2", "0", "0", ""});
    doc.Memo = {"kept"};
    return doc;
}

TEST(HistoryFolder, FromTheEnvironment) {
    EXPECT_EQ(HistoryFolder("/x/data", "/home/u"), "/x/data/qmvwin/history");
    EXPECT_EQ(HistoryFolder("/x/data/", "/home/u"), "/x/data/qmvwin/history");
    // Unset, empty or relative: the default under home.
    for (const char* xdg : {static_cast<const char*>(nullptr), "", "rel/data"})
        EXPECT_EQ(HistoryFolder(xdg, "/home/u"), "/home/u/.local/share/qmvwin/history");
    EXPECT_EQ(HistoryFolder(nullptr, nullptr), "");
}

TEST(HistoryName, WrittenAndReadBack) {
    const std::tm t = At(2026, 12, 8, 21, 5, 33);
    const struct {
        int model, serial;
        const char* name;
    } cases[] = {
        {ModelQMV27, 1, "2026-12-08_21-05-33_QMV-27.q27"},
        {ModelQMV27, 2, "2026-12-08_21-05-33_QMV-27_2.q27"},
        {ModelGZNMin, 12, "2026-12-08_21-05-33_GZN-4P-MIN_12.q27"},
        {ModelTR22B7, 1, "2026-12-08_21-05-33_TR-22B7.q27"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HistoryFileName(t, c.model, c.serial), c.name);
        HistoryName h;
        ASSERT_TRUE(ParseHistoryFileName(c.name, h)) << c.name;
        EXPECT_EQ(h.modelName, HistoryModelName(c.model));
        EXPECT_EQ(h.serial, c.serial);
        EXPECT_EQ(std::mktime(&h.time), std::mktime(const_cast<std::tm*>(&t)));
    }
    HistoryName h;
    for (const char* other : {"logger.q27", "2026-12-08_21-05-33_.q27", "2026-13-08_21-05-33_X.q27",
                              "2026-12-08_21-05-33_QMV-27.txt", "2026-12-08 21-05-33_QMV-27.q27",
                              "2026-12-08_21-05-33_QMV-27_1.q27"})
        EXPECT_FALSE(ParseHistoryFileName(other, h)) << other;
}

TEST(HistoryMemo, SaysWhenAndHowMany) {
    EXPECT_EQ(HistoryMemoLine("Downloaded on %1: %2 records.", At(2026, 1, 2, 3, 4, 5), 250),
              "Downloaded on 2026/01/02 03:04:05: 250 records.");
    // The words and their order are the language file's.
    EXPECT_EQ(HistoryMemoLine("%2 records, %1", At(2026, 1, 2, 3, 4, 5), 7),
              "7 records, 2026/01/02 03:04:05");
}

TEST(HistoryWrite, SameSecondGetsNewNamesAndTheListIsNewestFirst) {
    test::TempDir dir;
    const std::string folder = dir / "a/qmvwin/history"; // made with its parents
    const std::tm t = At(2026, 12, 8, 21, 5, 33);
    const HistoryWriteResult first = WriteHistoryFile(folder, Logger(3), "1.0.0.0", t);
    const HistoryWriteResult second = WriteHistoryFile(folder, Logger(250), "1.0.0.0", t);
    const HistoryWriteResult older =
        WriteHistoryFile(folder, Logger(1), "1.0.0.0", At(2025, 12, 31, 23, 59, 59));
    ASSERT_EQ(first.status, HistoryWriteStatus::Written) << first.detail;
    ASSERT_EQ(second.status, HistoryWriteStatus::Written) << second.detail;
    EXPECT_EQ(first.path, folder + "/2026-12-08_21-05-33_QMV-27.q27");
    EXPECT_EQ(second.path, folder + "/2026-12-08_21-05-33_QMV-27_2.q27");
    DocumentData back;
    ASSERT_EQ(LoadDataFile(first.path, back).status, LoadStatus::Ok);
    EXPECT_EQ(back, Logger(3)); // an ordinary data file

    test::WriteBytes(folder + "/notes.txt", "not of the history");
    const std::vector<HistoryEntry> list = ListHistory(folder);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].path, second.path);
    EXPECT_EQ(list[0].records, 250);
    EXPECT_EQ(list[1].path, first.path);
    EXPECT_EQ(list[2].path, older.path);
    EXPECT_TRUE(ListHistory(dir / "missing").empty());
}

TEST(HistoryWrite, FailuresLeaveNothingBehind) {
    test::TempDir dir;
    test::WriteBytes(dir / "file", "x");
    // A folder that cannot be made (a file stands in its path; refused even to root).
    EXPECT_EQ(
        WriteHistoryFile(dir / "file/history", Logger(1), "1", At(2026, 1, 1, 0, 0, 0)).status,
        HistoryWriteStatus::NoFolder);
    const HistoryWriteResult failed =
        WriteHistoryFile(dir / "h", Logger(1), "1", At(2026, 1, 1, 0, 0, 0),
                         [](int, const char*, std::size_t) { return false; });
    EXPECT_EQ(failed.status, HistoryWriteStatus::WriteFailed);
    EXPECT_TRUE(ListHistory(dir / "h").empty()); // the claimed name was given back
}

} // namespace
} // namespace qmv
