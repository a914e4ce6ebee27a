#include <cerrno>
#include <csignal>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

#include "data/codepage.h"
#include "data/datafile.h"
#include "data/version.h"
#include "testutil.h"

using namespace qmv;
using qmv::test::ReadBytes;
using qmv::test::TempDir;
using qmv::test::TestData;
using qmv::test::WriteBytes;

namespace {

recReadDataSeg LoggerRecord(const std::string& no, const std::string& level,
                            const std::string& note) {
    return {no, "0123", "0456", "0789", level, "0", "2010/05/31 14:05", "0", "1", "2", "3", note};
}

std::string SaveToBytes(const DocumentData& doc, const std::string& version = VersionText()) {
    std::string out;
    std::string why;
    EXPECT_TRUE(FormatDataFile(doc, version, out, &why)) << why;
    return out;
}

DocumentData Parse(const std::string& bytes, LoadStatus expected = LoadStatus::Ok) {
    DocumentData doc;
    EXPECT_EQ(ParseDataFile(bytes, doc).status, expected);
    return doc;
}

// The names in a folder, hidden ones included, one a line in sorted order.
std::string Listing(const std::string& folder) {
    std::string out;
    FILE* p = popen(("ls -A '" + folder + "'").c_str(), "r");
    char buf[256];
    while (p && fgets(buf, sizeof buf, p))
        out += buf;
    if (p)
        pclose(p);
    return out;
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

// Runs f in a child process as an ordinary user and returns its exit code (-1 when it did not
// exit normally). Under root, where every permission check passes, the child becomes "nobody".
int RunAsOrdinaryUser(const std::function<int()>& f) {
    const struct passwd* pw = ::getpwnam("nobody");
    const uid_t uid = pw ? pw->pw_uid : 65534;
    const gid_t gid = pw ? pw->pw_gid : 65534;
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
            ::_exit(100);
        ::_exit(f());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace

// What the user is told about a file is decided from the system's error number in one place.
TEST(FileFaults, EachErrorNumberHasItsReason) {
    const std::pair<int, std::string> cases[] = {
        {ENOENT, "MsgWhyNotFound"}, {ENOTDIR, "MsgWhyNotFound"}, {EACCES, "MsgWhyNoRight"},
        {EPERM, "MsgWhyNoRight"},   {EROFS, "MsgWhyReadOnly"},   {ENOSPC, "MsgWhyNoSpace"},
        {EDQUOT, "MsgWhyNoSpace"},  {EISDIR, "MsgWhyNotAFile"},  {EIO, "MsgWhyOther"},
        {EFBIG, "MsgWhyOther"}};
    for (const auto& [error, key] : cases)
        EXPECT_EQ(FileFaultKey(FaultOfErrno(error)), key) << error;
}

// Saves and reads that the file system refuses for each reason come back with that reason.
TEST(FileFaults, RefusedSavesAndReadsSayWhy) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    const std::string bytes(20000, 'x');
    std::string read;
    EXPECT_EQ(ReadRegularFile(dir / "pipe", read, 100).fault, FileFault::NotAFile);
    EXPECT_EQ(WriteFileAtomically(dir / "missing/x.q27", bytes).fault, FileFault::NotFound);
    EXPECT_EQ(WriteFileAtomically(dir / "pipe", bytes).fault, FileFault::NotAFile);
    // A full disk and a read-only one: small file systems that only a child process sees.
    const std::string full = dir / "full", readOnly = dir / "ro";
    ASSERT_EQ(::mkdir(full.c_str(), 0700) | ::mkdir(readOnly.c_str(), 0700), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", full.c_str(), "tmpfs", 0, "size=4k") != 0 ||
            ::mount("tmpfs", readOnly.c_str(), "tmpfs", MS_RDONLY, nullptr) != 0)
            ::_exit(77);
        ::_exit(int(WriteFileAtomically(full + "/x.q27", bytes).fault) * 10 +
                int(WriteFileAtomically(readOnly + "/x.q27", bytes).fault));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no file system can be mounted here";
    EXPECT_EQ(WEXITSTATUS(status), int(FileFault::NoSpace) * 10 + int(FileFault::ReadOnly));
}

TEST(DataFileGolden, LoggerAndSensorFilesRoundTripByteForByte) {
    for (const char* name : {"logger.q27", "sensor.q27"}) {
        const std::string original = ReadBytes(TestData(name));
        DocumentData doc;
        ASSERT_EQ(LoadDataFile(TestData(name), doc).status, LoadStatus::Ok) << name;
        EXPECT_NO_THROW(CheckForDisplay(doc));
        EXPECT_EQ(SaveToBytes(doc), original) << name;
    }
    DocumentData doc;
    ASSERT_EQ(LoadDataFile(TestData("logger.q27"), doc).status, LoadStatus::Ok);
    EXPECT_EQ(doc.Model, 1);
    EXPECT_FALSE(doc.BarGraph);
    EXPECT_EQ(doc.AxisMax, 600);
    EXPECT_EQ(doc.StdLevel, 200);
    ASSERT_EQ(doc.Records.size(), 3u);
    EXPECT_EQ(doc.Records[0], LoggerRecord("00001", "045", "Near window"));
    EXPECT_EQ(doc.Records[1].Note, "");
    EXPECT_EQ(doc.Records[2].Note, "a,b c"); // a comma in a note survives: columns, not commas
    EXPECT_EQ(doc.Memo,
              (std::vector<std::string>{"Site: laboratory 2", "", "Calibrated before use"}));
    ASSERT_EQ(LoadDataFile(TestData("sensor.q27"), doc).status, LoadStatus::Ok);
    EXPECT_EQ(doc.Model, 4);
    EXPECT_TRUE(doc.BarGraph);
    EXPECT_EQ(doc.AxisMin, 20);
    EXPECT_TRUE(doc.Memo.empty());
}

TEST(DataFileGolden, AnyOfTheThreeLineEndsEndsALine) {
    const std::string crlf = ReadBytes(TestData("logger.q27"));
    const DocumentData expected = Parse(crlf);
    ASSERT_EQ(expected.Records.size(), 3u);
    for (const char* end : {"\r", "\n"}) {
        const DocumentData doc = Parse(Replace(crlf, "\r\n", end));
        EXPECT_EQ(doc.Records, expected.Records) << int(end[0]);
        EXPECT_EQ(doc.Memo, expected.Memo) << int(end[0]);
    }
    // A CR LF pair is one line end, a CR on its own before it another.
    EXPECT_EQ(Parse("1.0.0.0,01,0,0600,0000,0200,\rMemo\ra\r\r\nb\n").Memo,
              (std::vector<std::string>{"a", "", "b"}));
}

TEST(DataFileGolden, OlderHeaderLoadsAndComesOutInTheCurrentForm) {
    DocumentData doc;
    ASSERT_EQ(LoadDataFile(TestData("oldheader.q27"), doc).status, LoadStatus::Ok);
    EXPECT_EQ(doc.Model, 1);
    EXPECT_FALSE(doc.BarGraph);
    EXPECT_EQ(doc.AxisMax, 60);
    EXPECT_EQ(doc.AxisMin, 0);
    EXPECT_EQ(doc.StdLevel, 20);
    ASSERT_EQ(doc.Records.size(), 1u);
    EXPECT_EQ(doc.Records[0].Date, "2009/02/13 23:31");
    const std::string saved = SaveToBytes(doc);
    EXPECT_EQ(saved.substr(0, 30), "1.0.0.0,01,0,0060,0000,0020,\r\n");
}

TEST(DataFileGolden, EmptyDocumentIsTwoLines) {
    EXPECT_EQ(SaveToBytes(DocumentData{}), "1.0.0.0,00,0,0600,0000,0200,\r\nMemo\r\n");
    DocumentData oneEmptyLine;
    oneEmptyLine.Memo = {""};
    EXPECT_EQ(SaveToBytes(oneEmptyLine), "1.0.0.0,00,0,0600,0000,0200,\r\nMemo\r\n");
}

TEST(DataFileGolden, MemoLineReadingMemoIsText) {
    DocumentData doc;
    doc.Model = 1;
    doc.Records = {LoggerRecord("00001", "045", "")};
    doc.Memo = {"first", "Memo", "memo", "last"};
    const DocumentData back = Parse(SaveToBytes(doc));
    EXPECT_EQ(back.Memo, doc.Memo);
    EXPECT_EQ(back.Records, doc.Records);
}

TEST(DataFileGolden, FileWithoutMemoLineLoadsWithEmptyMemo) {
    const DocumentData doc = Parse("1.0.0.0,01,0,0600,0000,0200,\r\n"
                                   "00001,0123,0456,0789,045,0,2010/05/31 14:05,0,1,2,3,x,\r\n");
    EXPECT_EQ(doc.Records.size(), 1u);
    EXPECT_TRUE(doc.Memo.empty());
}

TEST(DataFileGolden, LineWithoutClosingCommaLosesLastNoteCharacter) {
    const DocumentData doc =
        Parse("1.0.0.0,01,0,0600,0000,0200,\r\n"
              "00001,0123,0456,0789,045,0,2010/05/31 14:05,0,1,2,3,abc\r\nMemo\r\n");
    ASSERT_EQ(doc.Records.size(), 1u);
    EXPECT_EQ(doc.Records[0].Note, "ab");
}

TEST(DataFileGolden, WriterKeepsEveryColumnInPlace) {
    DocumentData doc;
    doc.Model = 4;
    // Levels moved between ranges come out with two digits; the writer zero-fills them.
    doc.Records = {
        {"00001", "0000", "0000", "0000", "40", "9", "2011/01/02 03:04", "9", "9", "9", "9", ""},
        {"00002", "0000", "0000", "0000", "-15", "9", "2011/01/02 03:05", "9", "9", "9", "9", ""},
        {"7", "0", "0", "0", "5", "9", "2011/01/02 03:06", "9", "9", "9", "9", ""},
        // A number read with a leading blank keeps it in front: a blank after it would make
        // the level unreadable once saved.
        {"00008", "0000", "0000", "0000", " 0", "9", "2011/01/02 03:07", "9", "9", "9", "9", ""}};
    const std::string bytes = SaveToBytes(doc, "12.3.4.5678");
    EXPECT_EQ(bytes.substr(0, 28), "12.3.4.,04,0,0600,0000,0200,"); // version cut to seven
    EXPECT_NE(bytes.find("\r\n00001,0000,0000,0000,040,9,"), std::string::npos);
    EXPECT_NE(bytes.find("\r\n00002,0000,0000,0000,-15,9,"), std::string::npos);
    EXPECT_NE(bytes.find("\r\n00007,0000,0000,0000,005,9,"), std::string::npos);
    EXPECT_NE(bytes.find("\r\n00008,0000,0000,0000,  0,9,"), std::string::npos);
    const DocumentData back = Parse(bytes);
    ASSERT_EQ(back.Records.size(), 4u);
    EXPECT_EQ(back.Records[0].MinDb, "040");
    EXPECT_EQ(back.Records[1].MinDb, "-15");
    EXPECT_NO_THROW(CheckForDisplay(back));
    EXPECT_EQ(SaveToBytes(DocumentData{}, "1.0").substr(0, 9), "1.0    ,0");
}

TEST(DataFileGolden, WriterRefusesFieldsThatWouldShiftColumns) {
    DocumentData doc;
    doc.Model = 1;
    doc.Records = {LoggerRecord("123456", "045", "")};
    std::string out = "untouched";
    EXPECT_FALSE(FormatDataFile(doc, VersionText(), out));
    EXPECT_EQ(out, "untouched");
    doc.Records = {LoggerRecord("00001", "045", "line\r\nbreak")};
    EXPECT_FALSE(FormatDataFile(doc, VersionText(), out));
    doc.Records = {LoggerRecord("00001", "045", "")};
    doc.Records[0].Date = "2010/05/31 14:05:00";
    EXPECT_FALSE(FormatDataFile(doc, VersionText(), out));
    doc.Records.assign(251, LoggerRecord("00001", "045", ""));
    EXPECT_FALSE(FormatDataFile(doc, VersionText(), out));
}

TEST(DataFileCodePage, DoubleByteNotes) {
    SetActiveCodePage(932);
    // Seven double-byte characters fill the fourteen bytes exactly.
    const std::string seven = "\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8\x82\xA9\x82\xAB";
    DocumentData doc;
    doc.Model = 1;
    doc.Records = {LoggerRecord("00001", "045", seven)};
    DocumentData back = Parse(SaveToBytes(doc));
    ASSERT_EQ(back.Records.size(), 1u);
    EXPECT_EQ(back.Records[0].Note, seven);

    // One byte and seven characters: the writer drops the character that would not fit whole.
    doc.Records[0].Note = "a" + seven;
    const std::string bytes = SaveToBytes(doc);
    back = Parse(bytes);
    EXPECT_EQ(back.Records[0].Note, "a" + seven.substr(0, 12));
    EXPECT_EQ(back.Records[0].Note.size(), 13u);

    // A line written elsewhere whose fifteenth note byte is a trail byte: the reader cuts at
    // fourteen and drops the half character.
    back = Parse("1.0.0.0,01,0,0600,0000,0200,\r\n"
                 "00001,0123,0456,0789,045,0,2010/05/31 14:05,0,1,2,3,a" +
                 seven + ",\r\n");
    EXPECT_EQ(back.Records[0].Note, "a" + seven.substr(0, 12));

    // A note that was not cut keeps its last byte even when that byte would lead a double-byte
    // character: "caf\xE9" written under code page 1252 and read under 932.
    doc.Records[0].Note = "caf\xE9";
    const std::string cafe = SaveToBytes(doc);
    EXPECT_NE(cafe.find(",caf\xE9,\r\n"), std::string::npos);
    EXPECT_EQ(Parse(cafe).Records[0].Note, "caf\xE9");
    doc.Records[0].Note = std::string(13, 'n') + "\xE9";
    EXPECT_EQ(Parse(SaveToBytes(doc)).Records[0].Note, std::string(13, 'n') + "\xE9");
    SetActiveCodePage(1252);
}

TEST(DataFileMalformed, EveryBadFileGivesTheLoadErrorAndNothingElse) {
    const std::string good = "00001,0123,0456,0789,045,0,2010/05/31 14:05,0,1,2,3,x,\r\n";
    const std::string many = [&] {
        std::string s = "1.0.0.0,01,0,0600,0000,0200,\r\n";
        for (int i = 0; i < 251; ++i)
            s += good;
        return s + "Memo\r\nkept?\r\n";
    }();
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919 + 13) % 256);
    const std::pair<const char*, std::string> cases[] = {
        {"empty file", ""},
        {"empty first line", "\r\n" + good},
        {"short header", "1.0.0.0,01\r\n"},
        {"letters in header", "1.0.0.0,AB,0,0600,0000,0200,\r\n"},
        {"blank axis", "1.0.0.0,01,0,    ,0000,0200,\r\n"},
        {"251 record lines", many},
        {"binary garbage", garbage},
    };
    for (const auto& [what, bytes] : cases) {
        DocumentData doc;
        doc.Memo = {"stale"};
        doc.Records = {recReadDataSeg{}};
        const LoadResult result = ParseDataFile(bytes, doc);
        EXPECT_EQ(result.status, LoadStatus::BadData) << what;
        // Only the record limit is told apart, so that the window can name it.
        EXPECT_EQ(result.overLimit, bytes == many) << what;
        EXPECT_TRUE(doc.Records.empty()) << what;
        EXPECT_TRUE(doc.Memo.empty()) << what;
    }
    // Exactly 250 records is the most a document holds, and loads.
    std::string full = "1.0.0.0,01,0,0600,0000,0200,\r\n";
    for (int i = 0; i < 250; ++i)
        full += good;
    EXPECT_EQ(Parse(full).Records.size(), 250u);
}

TEST(DataFileMalformed, RecordFieldThatIsNotANumberFailsWhenShown) {
    DocumentData doc = Parse("1.0.0.0,01,0,0600,0000,0200,\r\n"
                             "0000X,0123,0456,0789,045,0,2010/05/31 14:05,0,1,2,3,x,\r\n");
    EXPECT_THROW(CheckForDisplay(doc), EConvertError);
    doc = Parse("1.0.0.0,01,0,0600,0000,0200,\r\n"
                "00001,0123,0456,0789,045,0,2010/05/31 14:05,X,1,2,3,x,\r\n");
    EXPECT_THROW(CheckForDisplay(doc), EConvertError);
    // Any record may be the one selected: a bad code in the third counts as in the first.
    const std::string good = "00001,0123,0456,0789,045,0,2010/05/31 14:05,0,1,2,3,x,\r\n";
    doc = Parse("1.0.0.0,01,0,0600,0000,0200,\r\n" + good + good +
                "00003,0123,0456,0789,045,0,2010/05/31 14:05,0,1,2,x,x,\r\n");
    EXPECT_THROW(CheckForDisplay(doc), EConvertError);
    // Filter codes are only shown for the logger.
    doc = Parse("1.0.0.0,02,0,0600,0000,0200,\r\n"
                "00001,0000,0000,0000,045,9,2010/05/31 14:05,X,9,9,9,x,\r\n");
    EXPECT_NO_THROW(CheckForDisplay(doc));
    // The header stays set although the records did not show.
    EXPECT_EQ(doc.Model, 2);
}

TEST(DataFileMalformed, HeaderValuesAreClampedToWhatTheFileCanHold) {
    // Negative values parse but have no "%0.Nd" form that fits their columns.
    DocumentData doc = Parse("1.0.0.0,-1,1,-600,-020,-200,\r\n"
                             "00001,0123,0456,0789,045,0,2010/05/31 14:05,0,1,2,3,x,\r\n");
    EXPECT_EQ(doc.Model, 0);
    EXPECT_EQ(doc.AxisMax, 0);
    EXPECT_EQ(doc.AxisMin, 0);
    EXPECT_EQ(doc.StdLevel, 0);
    EXPECT_TRUE(doc.BarGraph);
    EXPECT_EQ(doc.Records.size(), 1u);
    EXPECT_EQ(SaveToBytes(doc).substr(0, 28), "1.0.0.0,00,1,0000,0000,0000,");
    doc = Parse("1.0.0.0,01,0,-60,-00,-20,\r\nMemo\r\n"); // the older form
    EXPECT_EQ(doc.AxisMax, 0);
    EXPECT_EQ(doc.StdLevel, 0);
    EXPECT_EQ(SaveToBytes(doc).substr(0, 28), "1.0.0.0,01,0,0000,0000,0000,");
}

TEST(DataFileMalformed, OverlongLinesAreCutAtTheSlot) {
    // The header header's surplus is ignored.
    DocumentData doc =
        Parse("1.0.0.0,01,1,0600,0000,0200," + std::string(400, 'Z') + "\r\nMemo\r\n");
    EXPECT_TRUE(doc.BarGraph);
    std::string line =
        "00001,0123,0456,0789,045,0,2010/05/31 14:05,0,1,2,3," + std::string(447, 'n') + ",";
    ASSERT_EQ(line.size(), 500u);
    doc = Parse("1.0.0.0,01,0,0600,0000,0200,\r\n" + line + "\r\n");
    ASSERT_EQ(doc.Records.size(), 1u);
    EXPECT_EQ(doc.Records[0].Note, std::string(14, 'n'));
    EXPECT_NO_THROW(CheckForDisplay(doc));
}

TEST(DataFileMalformed, MissingFileIsAnOpenFailure) {
    DocumentData doc;
    EXPECT_EQ(LoadDataFile("/nonexistent/folder/x.q27", doc).status, LoadStatus::OpenFailed);
}

TEST(DataFileMalformed, AnythingButARegularFileGivesTheLoadError) {
    TempDir dir;
    // A pipe would block an ordinary open until someone writes to it.
    ASSERT_EQ(::mkfifo((dir / "pipe.q27").c_str(), 0600), 0);
    for (const std::string& path : {dir.path(), std::string("/dev/null"), dir / "pipe.q27"}) {
        DocumentData doc;
        doc.Memo = {"stale"};
        LoadResult r;
        EXPECT_NO_THROW(r = LoadDataFile(path, doc)) << path;
        EXPECT_EQ(r.status, LoadStatus::BadData) << path;
        EXPECT_TRUE(doc.Memo.empty()) << path;
    }
}

TEST(DataFileMalformed, FileLargerThanADataFileGivesTheLoadErrorUnread) {
    TempDir dir;
    std::string bytes = "1.0.0.0,01,0,0600,0000,0200,\r\nMemo\r\n";
    bytes += std::string(MaxDataFileBytes - bytes.size(), 'm');
    WriteBytes(dir / "limit.q27", bytes);
    WriteBytes(dir / "over.q27", bytes + "m");
    WriteBytes(dir / "sparse.q27", bytes);
    ASSERT_EQ(::truncate((dir / "sparse.q27").c_str(), 200LL << 30), 0);
    DocumentData doc;
    EXPECT_EQ(LoadDataFile(dir / "limit.q27", doc).status, LoadStatus::Ok);
    EXPECT_EQ(LoadDataFile(dir / "over.q27", doc).status, LoadStatus::BadData);
    EXPECT_EQ(LoadDataFile(dir / "sparse.q27", doc).status, LoadStatus::BadData);
}

TEST(DataFileSave, FailedWritesLeaveThePreviousFileIntact) {
    TempDir dir;
    const std::string path = dir / "keep.q27";
    const std::string before = ReadBytes(TestData("logger.q27"));
    WriteBytes(path, before);
    ::chmod(path.c_str(), 0640);

    DocumentData doc;
    doc.Model = 2;
    doc.Records.assign(200, {"00001", "0000", "0000", "0000", "045", "9", "2011/01/02 03:04", "9",
                             "9", "9", "9", "n"});
    // The disk fills up after the first chunk.
    int calls = 0;
    const ChunkWriter failing = [&calls](int fd, const char* data, std::size_t size) {
        if (++calls > 1) {
            errno = ENOSPC;
            return false;
        }
        return ::write(fd, data, size) == static_cast<ssize_t>(size);
    };
    const SaveResult r = SaveDataFile(path, doc, VersionText(), failing);
    EXPECT_EQ(r.status, SaveStatus::WriteFailed);
    EXPECT_GT(calls, 1);
    EXPECT_EQ(ReadBytes(path), before);

    // Nothing is left behind in the folder.
    EXPECT_EQ(Listing(dir.path()), "keep.q27\n");

    // A successful save replaces the file and keeps its permissions.
    EXPECT_EQ(SaveDataFile(path, doc, VersionText()).status, SaveStatus::Ok);
    DocumentData back;
    ASSERT_EQ(LoadDataFile(path, back).status, LoadStatus::Ok);
    EXPECT_EQ(back.Records.size(), 200u);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(DataFileSave, MissingFolderIsAnOpenFailure) {
    EXPECT_EQ(SaveDataFile("/nonexistent/folder/x.q27", DocumentData{}, VersionText()).status,
              SaveStatus::OpenFailed);
}

TEST(DataFileSave, SymbolicLinkIsWrittenThroughToItsTarget) {
    TempDir dir;
    ASSERT_EQ(::mkdir((dir / "real").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((dir / "links").c_str(), 0700), 0);
    WriteBytes(dir / "real/target.q27", "previous");
    ::chmod((dir / "real/target.q27").c_str(), 0640);
    // A chain of two links, the first one relative to its own folder.
    ASSERT_EQ(::symlink("../real/target.q27", (dir / "links/link.q27").c_str()), 0);
    ASSERT_EQ(::symlink("link.q27", (dir / "links/chain.q27").c_str()), 0);
    ASSERT_EQ(::symlink("../real/new.q27", (dir / "links/dangling.q27").c_str()), 0);

    DocumentData doc;
    doc.Memo = {"saved"};
    const std::string expected = SaveToBytes(doc);
    EXPECT_EQ(SaveDataFile(dir / "links/chain.q27", doc, VersionText()).status, SaveStatus::Ok);
    EXPECT_EQ(ReadBytes(dir / "real/target.q27"), expected);
    struct stat st {};
    ASSERT_EQ(::stat((dir / "real/target.q27").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // A link to a file not there yet creates the file.
    EXPECT_EQ(SaveDataFile(dir / "links/dangling.q27", doc, VersionText()).status, SaveStatus::Ok);
    EXPECT_EQ(ReadBytes(dir / "real/new.q27"), expected);
    for (const char* link : {"links/link.q27", "links/chain.q27", "links/dangling.q27"}) {
        ASSERT_EQ(::lstat((dir / link).c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << link;
    }
    EXPECT_EQ(Listing(dir / "real"), "new.q27\ntarget.q27\n");
    EXPECT_EQ(Listing(dir / "links"), "chain.q27\ndangling.q27\nlink.q27\n");

    // Something that is not a file is never replaced by one.
    ASSERT_EQ(::mkfifo((dir / "pipe.q27").c_str(), 0600), 0);
    EXPECT_EQ(SaveDataFile(dir / "pipe.q27", doc, VersionText()).status, SaveStatus::OpenFailed);
    ASSERT_EQ(::lstat((dir / "pipe.q27").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(SaveDataFile(dir / "real", doc, VersionText()).status, SaveStatus::OpenFailed);
}

TEST(DataFileSave, KeepsOwnerModeAndOtherNamesOfTheFile) {
    TempDir dir;
    ::chmod(dir.path().c_str(), 0777); // the ordinary user saves here too
    const std::string theirs = dir / "theirs.q27", linked = dir / "linked.q27";
    for (const std::string& path : {theirs, linked}) {
        WriteBytes(path, "old");
        ASSERT_EQ(::chown(path.c_str(), 12345, 12346), 0);
        ASSERT_EQ(::chmod(path.c_str(), 0646), 0);
    }
    ASSERT_EQ(::link(linked.c_str(), (dir / "other name.q27").c_str()), 0);
    // Root can give a new file the owner; an ordinary user cannot, so writes in place.
    EXPECT_EQ(WriteFileAtomically(theirs, "by root").status, SaveStatus::Ok);
    EXPECT_EQ(RunAsOrdinaryUser([&] { return int(WriteFileAtomically(theirs, "mine").status); }),
              0);
    EXPECT_EQ(WriteFileAtomically(linked, "new").status, SaveStatus::Ok);
    // A write that really fails half way puts the old bytes back.
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 5000;
    ::setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_EQ(WriteFileAtomically(linked, std::string(10000, 'x')).status, SaveStatus::WriteFailed);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);

    EXPECT_EQ(ReadBytes(theirs), "mine");
    EXPECT_EQ(ReadBytes(dir / "other name.q27"), "new");
    for (const std::string& path : {theirs, linked}) {
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 12345u) << path;
        EXPECT_EQ(st.st_gid, 12346u) << path;
        EXPECT_EQ(st.st_mode & 07777, 0646u) << path;
    }
    EXPECT_EQ(Listing(dir.path()), "linked.q27\nother name.q27\ntheirs.q27\n");
}

TEST(DataFileSave, LinkThatAnotherUserPutInASharedFolderIsRefused) {
    TempDir dir;
    const std::string shared = dir / "shared", link = dir / "shared/x.q27", mine = dir / "mine.q27";
    ASSERT_EQ(::mkdir(shared.c_str(), 0700), 0);
    ASSERT_EQ(::symlink(mine.c_str(), link.c_str()), 0);
    // The owners of the link and of the sticky folder, and whether a save follows the link.
    const std::tuple<uid_t, uid_t, bool> cases[] = {
        {12345, 0, false}, {0, 0, true}, {12345, 12345, true}};
    for (const auto& [linkOwner, folderOwner, followed] : cases) {
        WriteBytes(mine, "mine");
        ASSERT_EQ(::lchown(link.c_str(), linkOwner, linkOwner), 0);
        ASSERT_EQ(::chown(shared.c_str(), folderOwner, folderOwner), 0);
        ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
        EXPECT_EQ(WriteFileAtomically(link, "saved").status,
                  followed ? SaveStatus::Ok : SaveStatus::OpenFailed);
        EXPECT_EQ(ReadBytes(mine), followed ? "saved" : "mine") << linkOwner << " " << folderOwner;
    }
}

TEST(DataFileSave, PermissionsAreThoseOfTheFileAndItsFolder) {
    TempDir dir;
    ::chmod(dir.path().c_str(), 0755); // the ordinary user must reach the folders inside
    // A file no one but root may write, in a folder everyone may write.
    const std::string open = dir / "open";
    ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
    ::chmod(open.c_str(), 0777);
    WriteBytes(open + "/readonly.q27", "previous");
    ::chmod((open + "/readonly.q27").c_str(), 0444);
    // A file everyone may write, in a folder no one but root may write.
    const std::string closed = dir / "closed";
    ASSERT_EQ(::mkdir(closed.c_str(), 0700), 0);
    WriteBytes(closed + "/writable.q27", "previous, and longer than what replaces it");
    ::chmod((closed + "/writable.q27").c_str(), 0666);
    ::chmod(closed.c_str(), 0555);
    struct stat before {};
    ASSERT_EQ(::stat((closed + "/writable.q27").c_str(), &before), 0);

    DocumentData doc;
    doc.Memo = {"new"};
    const int result = RunAsOrdinaryUser([&] {
        int failures = 0;
        if (SaveDataFile(open + "/readonly.q27", doc, VersionText()).status !=
            SaveStatus::OpenFailed)
            failures |= 1;
        if (SaveDataFile(closed + "/writable.q27", doc, VersionText()).status != SaveStatus::Ok)
            failures |= 2;
        if (SaveDataFile(closed + "/new.q27", doc, VersionText()).status != SaveStatus::OpenFailed)
            failures |= 4;
        return failures;
    });
    ::chmod(closed.c_str(), 0755);
    EXPECT_EQ(result, 0) << "1: read-only file replaced, 2: writable file not saved, "
                            "4: file created in a closed folder";
    EXPECT_EQ(ReadBytes(open + "/readonly.q27"), "previous");
    // Written in place: the same file, holding exactly the new bytes.
    EXPECT_EQ(ReadBytes(closed + "/writable.q27"), SaveToBytes(doc));
    struct stat after {};
    ASSERT_EQ(::stat((closed + "/writable.q27").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(Listing(closed), "writable.q27\n");
}

TEST(DataFileSave, UnwritableRecordLeavesTheFileUntouched) {
    TempDir dir;
    const std::string path = dir / "keep.q27";
    WriteBytes(path, "previous");
    DocumentData doc;
    doc.Records = {LoggerRecord("1234567", "045", "")};
    EXPECT_EQ(SaveDataFile(path, doc, VersionText()).status, SaveStatus::WriteFailed);
    EXPECT_EQ(ReadBytes(path), "previous");
}

// Whatever the program saves as a success it must be able to open again: a memo pasted or merged
// past the read limit is written without complaint and the file, records and all, no longer loads.
TEST(DataFileSave, EveryFileSavedAsASuccessLoadsAgain) {
    TempDir dir;
    DocumentData doc;
    doc.Model = ModelQMV27;
    doc.Records = {
        {"00001", "0100", "0200", "0300", "045", "0", "2010/05/31 14:05", "1", "2", "1", "0", ""}};
    doc.Memo.assign(MaxDataFileBytes / 64 + 1, std::string(64, 'm'));
    const SaveResult saved = SaveDataFile(dir / "big.q27", doc, "1.0.0.0");
    DocumentData back;
    if (saved.status == SaveStatus::Ok) {
        EXPECT_EQ(LoadDataFile(dir / "big.q27", back).status, LoadStatus::Ok)
            << "saved as a success, refused on opening";
    }
}
