// The recovery folder, the record of one document, and which folders are a running program's.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "data/recovery.h"
#include "testutil.h"

namespace qmv {
namespace {

TEST(Recovery, FolderNamesAndRecord) {
    EXPECT_EQ(RecoveryFolder("/x/state/", "/home/u"), "/x/state/qmvwin/recovery");
    for (const char* xdg : {static_cast<const char*>(nullptr), "", "rel"})
        EXPECT_EQ(RecoveryFolder(xdg, "/home/u"), "/home/u/.local/state/qmvwin/recovery");
    EXPECT_TRUE(IsRecoveryFileName(RecoveryFileName(12)));
    for (const char* bad : {"doc-.recover", "doc-1x.recover", "lock", "doc-1.recover~"})
        EXPECT_FALSE(IsRecoveryFileName(bad)) << bad;
    const RecoveryRecord r{"/d/a%0A\nb.q27", "NewFile 1\r", 1765228000, "ver\r\nx\n\ny"};
    const std::string bytes = FormatRecoveryRecord(r);
    RecoveryRecord back;
    ASSERT_TRUE(ParseRecoveryRecord(bytes, back));
    EXPECT_TRUE(back.fileName == r.fileName && back.caption == r.caption && back.time == r.time &&
                back.data == r.data);
    for (const std::string& bad : {bytes.substr(0, bytes.size() - 1), bytes + "z", "x" + bytes})
        EXPECT_FALSE(ParseRecoveryRecord(bad, back)); // cut short, grown, not ours
}

TEST(Recovery, OnlyFoldersOfProgramsThatEndedAreClaimed) {
    test::TempDir dir;
    const std::string base = dir / "recovery", own = OwnRecoveryFolder(base), ended = base + "/1-1";
    test::WriteBytes(own + "/" + RecoveryFileName(1), FormatRecoveryRecord({"", "mine", 5, "d"}));
    // What a killed program leaves: its lock file, held by nobody, and its record.
    ASSERT_EQ(::mkdir(ended.c_str(), 0700), 0);
    test::WriteBytes(ended + "/lock", "");
    test::WriteBytes(ended + "/" + RecoveryFileName(3), FormatRecoveryRecord({"/a", "a", 7, "x"}));
    RecoveryClaim claim = ClaimOrphans(base);
    ASSERT_EQ(claim.records.size(), 1u);
    EXPECT_EQ(claim.records[0].record.caption, "a");
    EXPECT_TRUE(ClaimOrphans(base).records.empty()); // claimed: a second start does not see it
    EXPECT_TRUE(claim.Remove(claim.records[0]));
    EXPECT_TRUE(test::ReadBytes(claim.records[0].path).empty());
    EXPECT_FALSE(test::ReadBytes(own + "/" + RecoveryFileName(1)).empty());
}

} // namespace
} // namespace qmv
