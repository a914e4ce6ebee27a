// Merging a data file into a document: the outcomes as one table over file bytes, and the
// failures of reading the file itself.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "data/merge.h"
#include "testutil.h"

namespace qmv::test {
namespace {

recReadDataSeg Rec(int no, const std::string& level = "050") {
    return {std::to_string(no), "0000", "0000", "0000", level, "9",
            "2011/01/01 00:00", "9",    "9",    "9",    "9",   ""};
}

DocumentData Doc(int model, int count, int first, std::vector<std::string> memo) {
    DocumentData d;
    d.Model = model;
    d.Memo = std::move(memo);
    for (int i = 0; i < count; ++i)
        d.Records.push_back(Rec(first + i));
    return d;
}

// A file's chart settings are never any document's here, so that taking them shows.
std::string FileBytes(DocumentData d) {
    d.BarGraph = true;
    d.AxisMax = 999;
    d.AxisMin = 111;
    d.StdLevel = 555;
    std::string out;
    EXPECT_TRUE(FormatDataFile(d, "1.0.0.0", out));
    return out;
}

std::vector<int> Numbers(const std::vector<recReadDataSeg>& records) {
    std::vector<int> out;
    for (const recReadDataSeg& r : records)
        out.push_back(std::stoi(r.DataNo));
    return out;
}

std::vector<int> Range(int first, int count) {
    std::vector<int> out;
    for (int i = 0; i < count; ++i)
        out.push_back(first + i);
    return out;
}

std::vector<int> Join(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

using S = MergeStatus;

struct MergeCase {
    const char* name;
    DocumentData doc;
    std::string file;
    S status;
    std::vector<int> numbers; // of the merged document (Merged and LimitReached)
    std::vector<std::string> memo;
    int dropped;
    bool changed;
};

TEST(Merge, Outcomes) {
    const DocumentData logger200 = Doc(ModelQMV27, 200, 1, {"site A"});
    DocumentData badField = Doc(ModelQMV27, 2, 500, {});
    badField.Records[1].MinDb = "4x";
    const std::vector<MergeCase> cases = {
        {"30 into 200: the old ones first",
         logger200,
         FileBytes(Doc(ModelQMV27, 30, 1000, {})),
         S::Merged,
         Join(Range(1, 200), Range(1000, 30)),
         {"site A"},
         0,
         true},
        {"100 into 200: up to 250, memo still appended",
         logger200,
         FileBytes(Doc(ModelQMV27, 100, 1000, {"site B", "", "Memo"})),
         S::LimitReached,
         Join(Range(1, 200), Range(1000, 50)),
         {"site A", "site B", "", "Memo"},
         50,
         true},
        {"into a full document: only the memo",
         Doc(ModelQMV27, 250, 1, {}),
         FileBytes(Doc(ModelQMV27, 3, 1000, {"note"})),
         S::LimitReached,
         Range(1, 250),
         {"note"},
         3,
         true},
        {"the same file twice adds it twice",
         Doc(ModelQMV27, 2, 1000, {}),
         FileBytes(Doc(ModelQMV27, 2, 1000, {})),
         S::Merged,
         {1000, 1001, 1000, 1001},
         {},
         0,
         true},
        {"a file without records or memo",
         logger200,
         FileBytes(Doc(ModelQMV27, 0, 1, {})),
         S::Merged,
         Range(1, 200),
         {"site A"},
         0,
         false},
        {"sensor file into a logger document",
         logger200,
         FileBytes(Doc(ModelGZNMin, 3, 1000, {"x"})),
         S::ModelMismatch,
         {},
         {},
         0,
         false},
        {"an empty document takes no model",
         Doc(ModelNone, 0, 1, {}),
         FileBytes(Doc(ModelQMV27, 3, 1000, {})),
         S::ModelMismatch,
         {},
         {},
         0,
         false},
        {"bad header", logger200, "garbage\r\n00001,\r\n", S::BadData, {}, {}, 0, false},
        {"empty file", logger200, "", S::BadData, {}, {}, 0, false},
        {"a level the chart cannot draw",
         logger200,
         FileBytes(badField),
         S::BadData,
         {},
         {},
         0,
         false},
    };
    for (const MergeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const MergeResult r = MergeDataBytes(c.doc, c.file);
        ASSERT_EQ(r.status, c.status) << r.detail;
        const bool merged = c.status == S::Merged || c.status == S::LimitReached;
        EXPECT_EQ(r.changed, c.changed);
        if (!merged) {
            EXPECT_TRUE(r.after.Records.empty());
            continue;
        }
        EXPECT_EQ(Numbers(r.after.Records), c.numbers);
        EXPECT_EQ(r.after.Memo, c.memo);
        EXPECT_EQ(r.dropped, c.dropped);
        EXPECT_EQ(r.added, static_cast<int>(c.numbers.size() - c.doc.Records.size()));
        // The document's own header values stay.
        EXPECT_EQ(r.after.BarGraph, c.doc.BarGraph);
        EXPECT_EQ(r.after.AxisMax, c.doc.AxisMax);
        EXPECT_EQ(r.after.AxisMin, c.doc.AxisMin);
        EXPECT_EQ(r.after.StdLevel, c.doc.StdLevel);
    }
}

TEST(Merge, FileThatCannotBeRead) {
    TempDir dir;
    const DocumentData doc = Doc(ModelQMV27, 2, 1, {});
    EXPECT_EQ(MergeDataFile(doc, dir / "missing.q27").status, S::OpenFailed);
    EXPECT_EQ(MergeDataFile(doc, dir.path()).status, S::OpenFailed);  // a folder
    EXPECT_EQ(MergeDataFile(doc, "/dev/null").status, S::OpenFailed); // a device
    WriteBytes(dir / "ok.q27", FileBytes(Doc(ModelQMV27, 1, 9, {})));
    // Read as the loader reads: larger than a data file can be, it is the load error, unread.
    WriteBytes(dir / "sparse.q27", FileBytes(Doc(ModelQMV27, 1, 9, {})));
    ASSERT_EQ(::truncate((dir / "sparse.q27").c_str(), 200LL << 30), 0);
    EXPECT_EQ(MergeDataFile(doc, dir / "sparse.q27").status, S::BadData);
    const MergeResult r = MergeDataFile(doc, dir / "ok.q27");
    EXPECT_EQ(Numbers(r.after.Records), (std::vector<int>{1, 2, 9}));
}

} // namespace
} // namespace qmv::test
