// The recovery folder, the record of one document, and which folders are a running program's.
#include <gtest/gtest.h>
#include <sys/wait.h>

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
    EXPECT_EQ(back.fileName, r.fileName);
    EXPECT_EQ(back.caption, r.caption);
    EXPECT_EQ(back.time, r.time);
    EXPECT_EQ(back.data, r.data);
    // Cut short, grown, or not ours: refused.
    for (const std::string& bad : {bytes.substr(0, bytes.size() - 1), bytes + "z",
                                   std::string("x") + bytes, bytes.substr(0, 30)})
        EXPECT_FALSE(ParseRecoveryRecord(bad, back));
}

TEST(Recovery, OnlyFoldersOfProgramsThatEndedAreClaimed) {
    test::TempDir dir;
    const std::string base = dir / "recovery";
    const std::string own = OwnRecoveryFolder(base);
    ASSERT_FALSE(own.empty());
    EXPECT_EQ(OwnRecoveryFolder(base), own);
    test::WriteBytes(own + "/" + RecoveryFileName(1), FormatRecoveryRecord({"", "mine", 5, "d"}));

    // Another program keeps a record, waits while the test looks, then ends without tidying up.
    int ready[2], end[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(end), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        const std::string folder = OwnRecoveryFolder(base);
        test::WriteBytes(folder + "/" + RecoveryFileName(3),
                         FormatRecoveryRecord({"/a.q27", "a.q27", 7, "data"}));
        test::WriteBytes(folder + "/" + RecoveryFileName(4), "not a record");
        char c;
        ::write(ready[1], "w", 1);
        ::read(end[0], &c, 1);
        ::_exit(0);
    }
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_TRUE(ClaimOrphans(base).records.empty()); // both owners still run
    ::write(end[1], "e", 1);
    ::waitpid(child, nullptr, 0);

    RecoveryClaim claim = ClaimOrphans(base);
    ASSERT_EQ(claim.records.size(), 1u);
    EXPECT_EQ(claim.records[0].record.caption, "a.q27");
    EXPECT_EQ(claim.records[0].record.data, "data");
    // While claimed, a second starting program does not see them.
    EXPECT_TRUE(ClaimOrphans(base).records.empty());
    EXPECT_TRUE(claim.Remove(claim.records[0]));
    EXPECT_TRUE(test::ReadBytes(claim.records[0].path).empty());
    EXPECT_FALSE(test::ReadBytes(own + "/" + RecoveryFileName(1)).empty());
}

} // namespace
} // namespace qmv
