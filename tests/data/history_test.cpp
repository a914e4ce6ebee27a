// The download history's folder, names, memo line, writer and listing.
#include <gtest/gtest.h>

#include "data/history.h"
#include "testutil.h"

namespace qmv {
namespace {

std::tm At(int y, int mo, int d, int h, int mi, int s) {
    std::tm t{};
    t.tm_year = y - 1900, t.tm_mon = mo - 1, t.tm_mday = d, t.tm_hour = h, t.tm_min = mi;
    t.tm_sec = s;
    return t;
}

DocumentData Logger(int records) {
    DocumentData doc;
    doc.Model = ModelQMV27;
    for (int i = 0; i < records; ++i)
        doc.Records.push_back({ZeroPad(i + 1, 5), "0001", "0002", "0003", "045", "0",
                               "2026/12/08 21:05", "1", "2", "0", "0", ""});
    return doc;
}

TEST(History, FolderNameAndMemoLine) {
    EXPECT_EQ(HistoryFolder("/x/data/", "/home/u"), "/x/data/qmvwin/history");
    for (const char* xdg : {static_cast<const char*>(nullptr), "", "rel/data"}) // unset, not usable
        EXPECT_EQ(HistoryFolder(xdg, "/home/u"), "/home/u/.local/share/qmvwin/history");
    const std::tm t = At(2026, 12, 8, 21, 5, 33);
    const struct {
        int model, serial;
        const char* name;
    } names[] = {{ModelQMV27, 1, "2026-12-08_21-05-33_QMV-27.q27"},
                 {ModelGZNMin, 12, "2026-12-08_21-05-33_GZN-4P-MIN_12.q27"}};
    for (const auto& c : names) {
        EXPECT_EQ(HistoryFileName(t, c.model, c.serial), c.name);
        HistoryName h;
        ASSERT_TRUE(ParseHistoryFileName(c.name, h)) << c.name;
        EXPECT_EQ(h.modelName, HistoryModelName(c.model));
        EXPECT_EQ(h.serial, c.serial);
        EXPECT_EQ(std::mktime(&h.time), std::mktime(const_cast<std::tm*>(&t)));
    }
    HistoryName h;
    for (const char* other : {"logger.q27", "2026-12-08_21-05-33_.q27", "2026-13-08_21-05-33_X.q27",
                              "2026-12-08_21-05-33_QMV-27.txt", "2026-12-08_21-05-33_QMV-27_1.q27"})
        EXPECT_FALSE(ParseHistoryFileName(other, h)) << other;
    // The words and their order are the language file's.
    EXPECT_EQ(HistoryMemoLine("%2 records, %1.", At(2026, 1, 2, 3, 4, 5), 250),
              "250 records, 2026/01/02 03:04:05.");
}

TEST(History, SameSecondGetsNewNamesListedNewestFirstAndFailuresLeaveNothing) {
    test::TempDir dir;
    const std::string folder = dir / "a/qmvwin/history"; // made with its parents
    const std::tm t = At(2026, 12, 8, 21, 5, 33);
    const HistoryWriteResult older =
        WriteHistoryFile(folder, Logger(1), "1", At(2025, 1, 1, 0, 0, 0));
    const HistoryWriteResult first = WriteHistoryFile(folder, Logger(3), "1", t);
    const HistoryWriteResult second = WriteHistoryFile(folder, Logger(250), "1", t);
    ASSERT_EQ(second.status, HistoryWriteStatus::Written) << second.detail;
    EXPECT_EQ(first.path, folder + "/2026-12-08_21-05-33_QMV-27.q27");
    EXPECT_EQ(second.path, folder + "/2026-12-08_21-05-33_QMV-27_2.q27");
    DocumentData back;
    ASSERT_EQ(LoadDataFile(first.path, back).status, LoadStatus::Ok);
    EXPECT_EQ(back, Logger(3)); // an ordinary data file
    const std::vector<HistoryEntry> list = ListHistory(folder);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].path, second.path);
    EXPECT_EQ(list[1].path, first.path);
    EXPECT_EQ(list[2].path, older.path);

    // A file in the folder's path (refused even to root), a failing write.
    test::WriteBytes(dir / "file", "x");
    EXPECT_EQ(WriteHistoryFile(dir / "file/h", Logger(1), "1", t).status,
              HistoryWriteStatus::NoFolder);
    EXPECT_EQ(
        WriteHistoryFile(folder, Logger(1), "1", t, [](int, const char*, size_t) { return false; })
            .status,
        HistoryWriteStatus::WriteFailed);
    EXPECT_EQ(ListHistory(folder).size(), 3u); // the claimed name was given back
}

} // namespace
} // namespace qmv
