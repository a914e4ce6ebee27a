#include <algorithm>
#include <gtest/gtest.h>

#include "data/datafile.h"
#include "output/textexport.h"
#include "testutil.h"

using namespace qmv;
using qmv::test::ReadBytes;
using qmv::test::TempDir;
using qmv::test::WriteBytes;

namespace {

TextTable Headings() {
    ProfileFile f;
    f.LoadBytes("[Graph]\nPrintFile=File\nPrintRecord=Rec\nPrintDataNo=No\nPrintOnatsu=dB\n"
                "PrintDate=Date\nPrintBPF=BPF\nPrintNF=NF\nPrintNR=NR\nPrintNote=Note\n"
                "[Model]\nModel=Model\n[QMVData]\nHz=Hz\n");
    TextTable t;
    t.Load(f);
    return t;
}

int Count(const std::string& s, char c) {
    return static_cast<int>(std::count(s.begin(), s.end(), c));
}

} // namespace

TEST(TextExport, EmptyDocumentIsThreeLines) {
    const std::string out = FormatTextExport("NewFile 1", "", DocumentData{}, Headings());
    EXPECT_EQ(out, "File\tNewFile 1\r\nModel\t\r\nRec\tNo\tdB\tDate\tNote\r\n");
}

TEST(TextExport, LoggerHasFilterColumnsAndThreeDigitNumbers) {
    DocumentData doc;
    doc.Model = 1;
    doc.Records = {{"00012", "0123", "0456", "0789", "045", "1", "2010/05/31 14:05", "3", "0", "1",
                    "2", "a\tb"}};
    doc.Memo = {"line one", "line two"};
    const std::string out = FormatTextExport("site.q27", "QMV-27", doc, Headings());
    EXPECT_EQ(out, "File\tsite.q27\r\n"
                   "Model\tQMV-27\r\n"
                   "Rec\tNo\tdB\tDate\tBPF (Hz)\tNF\tNR\tNote\r\n"
                   "1\t012\t045\t2010/05/31 14:05\tThr. - 2200\t50 Hz\tLv.2\ta\tb\r\n"
                   "line one\r\nline two\r\n");
}

TEST(TextExport, SensorModelsHaveFiveColumns) {
    DocumentData doc;
    doc.Model = 3;
    doc.Records.assign(
        2, {"12", "0000", "0000", "0000", "065", "9", "2011/01/02 03:04", "9", "9", "9", "9", ""});
    const std::string out = FormatTextExport("s", "GZN-4P MID", doc, Headings());
    std::size_t start = 0;
    int lines = 0;
    for (std::size_t end; (end = out.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = out.substr(start, end - start);
        if (++lines >= 3) {
            EXPECT_EQ(Count(line, '\t'), 4) << line;
        }
    }
    EXPECT_EQ(lines, 5);
    EXPECT_NE(out.find("\r\n1\t00012\t065\t"), std::string::npos);
}

TEST(TextExport, BadFieldIsAWriteFailureBeforeTheFileIsTouched) {
    TempDir dir;
    const std::string path = dir / "out.txt";
    WriteBytes(path, "previous");
    DocumentData doc;
    doc.Model = 1;
    // A bad code in a later record counts as in the first.
    const recReadDataSeg good{"1", "0", "0", "0", "045", "0", "2010/05/31 14:05",
                              "0", "0", "0", "0", ""};
    doc.Records = {good, good};
    doc.Records[1].NfCode = "x";
    SaveResult r;
    EXPECT_NO_THROW(r = ExportText(path, "c", "m", doc, Headings()));
    EXPECT_EQ(r.status, SaveStatus::WriteFailed);
    EXPECT_EQ(ReadBytes(path), "previous");
    doc.Records[1].NfCode = "1";
    EXPECT_EQ(ExportText(path, "c", "m", doc, Headings()).status, SaveStatus::Ok);
    EXPECT_EQ(ReadBytes(path).substr(0, 7), "File\tc\r");
    EXPECT_EQ(ExportText(dir / "missing/out.txt", "c", "m", doc, Headings()).status,
              SaveStatus::OpenFailed);
    // Never over a data file.
    ASSERT_EQ(SaveDataFile(dir / "a.q27", doc, "1.0.0.0").status, SaveStatus::Ok);
    const std::string records = ReadBytes(dir / "a.q27");
    EXPECT_EQ(ExportText(dir / "a.q27", "c", "m", doc, Headings()).status, SaveStatus::OpenFailed);
    EXPECT_EQ(ReadBytes(dir / "a.q27"), records);
}

// A data file the loader refuses (more records than a document takes, or past the read limit) still
// holds the user's records; an export pointed at it must not replace it.
TEST(TextExport, NeverReplacesADataFileThatDoesNotLoad) {
    TempDir dir;
    std::string bytes = "1.0.0.0,01,0,0600,0000,0200,\r\n";
    for (int i = 0; i < 251; ++i)
        bytes += "00001,0123,0456,0789,045,1,2010/05/31 14:05,3,0,1,2,,\r\n";
    WriteBytes(dir / "many.q27", bytes);
    DocumentData doc;
    ASSERT_EQ(LoadDataFile(dir / "many.q27", doc).status, LoadStatus::BadData);
    EXPECT_NE(ExportText(dir / "many.q27", "x", "QMV-27", DocumentData{}, Headings()).status,
              SaveStatus::Ok);
    EXPECT_TRUE(ReadBytes(dir / "many.q27") == bytes) << "the data file was replaced";
}
