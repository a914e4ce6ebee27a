// qmvtool's file commands, run as a user runs them.
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#include "data/datafile.h"

#include "testutil.h"
#include "tools/qmvtool/command.h"

using qmv::test::ReadBytes;
using qmv::test::TempDir;
using qmv::test::TestData;
using qmv::test::WriteBytes;

namespace {

struct ToolRun {
    int status;
    std::string out;
};

ToolRun Tool(const std::string& args) {
    const std::string cmd = std::string(QMV_BINARY_DIR) + "/bin/qmvtool " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[512];
    while (p && fgets(buf, sizeof buf, p))
        out += buf;
    const int raw = p ? pclose(p) : -1;
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, out};
}

} // namespace

TEST(QmvTool, CheckReportsEachFile) {
    TempDir dir;
    WriteBytes(dir / "bad.q27", "garbage\r\n");
    WriteBytes(dir / "badfield.q27", "1.0.0.0,01,0,0600,0000,0200,\r\n"
                                     "0000X,0123,0456,0789,045,0,2010/05/31 14:05,0,1,2,3,x,\r\n");
    ToolRun r = Tool("check " + TestData("logger.q27") + " " + TestData("sensor.q27"));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("logger.q27: ok 3 records, model 1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("sensor.q27: ok 2 records, model 4\n"), std::string::npos) << r.out;

    r = Tool("check " + TestData("logger.q27") + " " + (dir / "bad.q27") + " " +
             (dir / "badfield.q27") + " " + (dir / "missing.q27"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("bad.q27: error"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("badfield.q27: error"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("missing.q27: error"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("logger.q27: ok"), std::string::npos) << r.out;
}

TEST(QmvTool, ResaveWritesTheCurrentForm) {
    TempDir dir;
    ToolRun r = Tool("resave " + TestData("oldheader.q27") + " " + (dir / "new.q27"));
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string bytes = ReadBytes(dir / "new.q27");
    EXPECT_EQ(bytes.substr(0, 30), "1.0.0.0,01,0,0060,0000,0020,\r\n");
    r = Tool("resave " + TestData("logger.q27") + " " + (dir / "same.q27"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(ReadBytes(dir / "same.q27"), ReadBytes(TestData("logger.q27")));
    // A file that does not load is not written.
    WriteBytes(dir / "bad.q27", "");
    r = Tool("resave " + (dir / "bad.q27") + " " + (dir / "out.q27"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(ReadBytes(dir / "out.q27").empty());
}

TEST(QmvTool, ExportTextUsesTheLanguageFile) {
    TempDir dir;
    const ToolRun r = Tool("export-text " + TestData("logger.q27") + " " + (dir / "out.txt"));
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string text = ReadBytes(dir / "out.txt");
    EXPECT_EQ(text.substr(text.find('\t'), 12), "\tlogger.q27\r");
    // Three heading lines, three records, three memo lines.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 9);
    EXPECT_NE(text.find("\r\n3\t003\t999\t2010/06/01 09:00\t-"), std::string::npos) << text;
}

TEST(QmvTool, MergeExitsOneWhenAFileOrRecordsAreLeftOut) {
    TempDir dir;
    const std::string logger = TestData("logger.q27");
    ToolRun r = Tool("merge " + (dir / "out.q27") + " " + logger + " " + logger);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("out.q27: 6 records, model 1\n"), std::string::npos) << r.out;

    // A file of another model and one that does not read are left out; the rest is saved.
    WriteBytes(dir / "bad.q27", "garbage\r\n");
    r = Tool("merge --force " + (dir / "out.q27") + " " + logger + " " + TestData("sensor.q27") +
             " " + (dir / "bad.q27") + " " + logger);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("sensor.q27: These records are from a different model."),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("bad.q27: The data contains an invalid value."), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("out.q27: 6 records, model 1\n"), std::string::npos) << r.out;

    // 3 + 248 records: one left out, with the warning.
    std::string many = "1.0.0.0,01,0,0600,0000,0200,\r\n";
    for (int i = 0; i < 248; ++i)
        many += "00009,0001,0002,0003,050,0,2010/06/01 09:00,0,1,2,3,,\r\n";
    WriteBytes(dir / "many.q27", many);
    r = Tool("merge --force " + (dir / "out.q27") + " " + logger + " " + (dir / "many.q27"));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("(1 records left out)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("out.q27: 250 records"), std::string::npos) << r.out;

    // A first file that does not load writes nothing.
    r = Tool("merge " + (dir / "new.q27") + " " + (dir / "bad.q27") + " " + logger);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(ReadBytes(dir / "new.q27").empty());
    EXPECT_EQ(Tool("merge " + (dir / "new.q27") + " " + logger).status, 2);
}

TEST(QmvTool, MergeNeverReplacesALaterFileAndAnotherOutOnlyWithForce) {
    TempDir dir;
    const std::string logger = ReadBytes(TestData("logger.q27"));
    for (const char* name : {"a", "b", "c"})
        WriteBytes(dir / name, logger);
    ASSERT_EQ(::symlink((dir / "b").c_str(), (dir / "link").c_str()), 0);
    // A later file, by any name, even forced; an OUT forgotten.
    EXPECT_EQ(
        Tool("merge --force " + (dir / "link") + " " + (dir / "a") + " " + (dir / "b")).status, 2);
    EXPECT_EQ(Tool("merge " + (dir / "a") + " " + (dir / "b") + " " + (dir / "c")).status, 2);
    for (const char* name : {"a", "b", "c"})
        EXPECT_EQ(ReadBytes(dir / name), logger) << name;
    // The merge adds to FIRST.
    EXPECT_EQ(Tool("merge " + (dir / "b") + " " + (dir / "b") + " " + (dir / "c")).status, 0);
    EXPECT_NE(ReadBytes(dir / "b"), logger);
}

TEST(QmvTool, WhateverACommandThrowsEndsInAMessageNotAnAbort) {
    const std::pair<std::function<int()>, std::string> cases[] = {
        {[]() -> int { throw std::bad_alloc(); }, "qmvtool check: out of memory\n"},
        {[]() -> int { throw std::length_error("x"); }, "qmvtool check: unexpected error: x\n"},
        {[]() -> int { throw 42; }, "qmvtool check: unexpected error\n"},
    };
    for (const auto& [run, says] : cases) {
        char* text = nullptr;
        std::size_t size = 0;
        FILE* err = ::open_memstream(&text, &size);
        EXPECT_EQ(qmvtool::RunToTheEnd("check", run, err), qmvtool::ExitUnexpected);
        std::fclose(err);
        EXPECT_EQ(std::string(text, size), says);
        std::free(text);
    }
}

TEST(QmvTool, UsageErrorsExitTwo) {
    EXPECT_EQ(Tool("").status, 2);
    EXPECT_EQ(Tool("nonsense").status, 2);
    EXPECT_EQ(Tool("check").status, 2);
    EXPECT_EQ(Tool("resave onlyone").status, 2);
    EXPECT_EQ(Tool("export-text a b c").status, 2);
    const ToolRun help = Tool("check --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: qmvtool check"), std::string::npos);
    EXPECT_EQ(Tool("--help").status, 0);
}

// A save written in place (here: a file with a second name) that the file size limit stops half
// way must leave the old bytes or the new ones, never a file cut short: the program is killed by
// SIGXFSZ before it can put the old bytes back.
TEST(QmvTool, AnInPlaceSaveStoppedByTheFileSizeLimitLeavesAWholeFile) {
    TempDir dir;
    const std::string logger = TestData("logger.q27");
    WriteBytes(dir / "a.q27", ReadBytes(logger));
    ASSERT_EQ(::link((dir / "a.q27").c_str(), (dir / "other-name.q27").c_str()), 0);
    qmv::DocumentData one;
    ASSERT_EQ(qmv::LoadDataFile(logger, one).status, qmv::LoadStatus::Ok);
    std::string more;
    for (int i = 0; i < 30; ++i)
        more += " " + logger;
    // 2 KiB under dash, 4 under bash: room for the old file and its copy, not for the merged one.
    const std::string cmd = "ulimit -f 4; " + std::string(QMV_BINARY_DIR) + "/bin/qmvtool merge " +
                            (dir / "a.q27") + " " + (dir / "a.q27") + more + " >/dev/null 2>&1";
    const int raw = std::system(cmd.c_str());
    qmv::DocumentData doc;
    const bool old = ReadBytes(dir / "a.q27") == ReadBytes(logger);
    const bool merged = qmv::LoadDataFile(dir / "a.q27", doc).status == qmv::LoadStatus::Ok &&
                        doc.Records.size() == 31 * one.Records.size();
    EXPECT_TRUE(old || merged) << "status " << raw << ", " << ReadBytes(dir / "a.q27").size()
                               << " bytes, " << doc.Records.size() << " records left";
}
