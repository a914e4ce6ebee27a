// Printing documents into PDF files and reading them back; the chart in its printed form.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <sys/resource.h>

#include "data/codepage.h"
#include "document/chartview.h"
#include "output/printing.h"
#include "printtest.h"

namespace qmv::test {
namespace {

class PrintingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        LoadEnglishTexts();
    }
    void TearDown() override {
        InterfaceTexts().Clear();
        SetActiveCodePage(1252);
    }

    QString Path(const QString& name) const { return tmp_.filePath(name); }

    QTemporaryDir tmp_;
};

TEST_F(PrintingTest, ChartHeadingTableAndMemoReachThePagesAsText) {
    PrintJob job;
    job.caption = QStringLiteral("survey.q27");
    job.modelName = QStringLiteral("QMV-27");
    job.data = LoggerDocument(40);
    job.data.BarGraph = true;
    job.data.Memo = {"opening memo line", "second memo line"};
    job.switches = {false, false, true};
    QPrinter printer(QPrinter::HighResolution);
    const QString pdf = Path("survey.pdf");
    ToPdf(printer, pdf);
    PrintDocument(printer, job);

    const std::vector<QString> pages = PdfPages(pdf);
    ASSERT_EQ(pages.size(), 2u);
    // The chart's texts are text in the file: it went to the printer as vector graphics.
    for (const char* chartText :
         {"Minimum sound level", "Standard(200)", "Above standard", "Min. level (dB)"})
        EXPECT_TRUE(pages[0].contains(QLatin1String(chartText))) << chartText;
    EXPECT_TRUE(pages[0].contains(QRegularExpression("File +survey.q27")));
    EXPECT_TRUE(pages[0].contains(QRegularExpression("Model +QMV-27")));
    EXPECT_TRUE(pages[0].contains(QRegularExpression(
        "\\n *1 +001 +150 +2011/03/02 10:01 +200 +- +800 +Hz +50 Hz +OFF +N1\\n")));
    // The table goes on on the second page without the heading; the memo follows it.
    EXPECT_FALSE(pages[1].contains(QLatin1String("survey.q27")));
    EXPECT_FALSE(pages[1].contains(QLatin1String("Data No.")));
    EXPECT_TRUE(pages[1].contains(QRegularExpression("\\n *40 +040 +340 .* N40\\n")));
    EXPECT_TRUE(
        pages[1].contains(QRegularExpression("Memo\\s+opening memo line\\s+second memo line")));

    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    ASSERT_TRUE(info.waitForFinished(30000));
    EXPECT_TRUE(QString::fromUtf8(info.readAllStandardOutput())
                    .contains(QRegularExpression("Title: +QMVwin survey.q27\\n")));
}

TEST_F(PrintingTest, OnlyThePagesAskedFor) {
    PrintJob job;
    job.caption = QStringLiteral("range.q27");
    job.data = LoggerDocument(40);
    QPrinter printer(QPrinter::HighResolution);
    const QString pdf = Path("range.pdf");
    ToPdf(printer, pdf);
    printer.setFromTo(2, 5);
    PrintDocument(printer, job);
    const std::vector<QString> pages = PdfPages(pdf);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages[0].contains(QRegularExpression("\\n *40 +040 ")));
    EXPECT_FALSE(pages[0].contains(QLatin1String("range.q27")));
}

TEST_F(PrintingTest, DoubleByteMemoWrapsIntoWholeCharacters) {
    SetActiveCodePage(932);
    ASSERT_TRUE(InterfaceTexts().Load(QMV_SOURCE_DIR "/lang/ja/QMVLanguage.Lib"));
    // Far wider than the page: it has to be cut, in code page 932 bytes.
    std::string line;
    for (int i = 0; i < 60; ++i)
        line += "\x93\xFA\x96\x7B"; // two characters, the first ending in a lead-byte value
    PrintJob job;
    job.caption = QStringLiteral("memo.q27");
    job.data.Model = ModelQMV27;
    job.data.Memo = {line, "end"};
    job.options = {};
    job.options[PrintMemo] = true;
    QPrinter printer(QPrinter::HighResolution);
    const QString pdf = Path("memo.pdf");
    ToPdf(printer, pdf);
    PrintDocument(printer, job);

    const QString text = PdfText(pdf);
    const QString expected = QString::fromStdString(CodePageToUtf8(line, 932));
    QStringList memoLines;
    for (const QString& l : text.split(QLatin1Char('\n')))
        if (l.trimmed().contains(QRegularExpression(QStringLiteral("^[\u65E5\u672C]+$"))))
            memoLines << l.trimmed();
    EXPECT_GT(memoLines.size(), 1) << text.toStdString();
    EXPECT_EQ(memoLines.join(QString()), expected);
    EXPECT_FALSE(text.contains(QChar(0xFFFD)));
}

TEST_F(PrintingTest, FailuresRaiseAndPrintNothing) {
    PrintJob job;
    job.caption = QStringLiteral("bad.q27");
    job.data = LoggerDocument(3);
    job.data.Records[2].MinDb = "loud";
    QPrinter printer;
    ToPdf(printer, Path("bad.pdf"));
    EXPECT_THROW(PrintDocument(printer, job), EConvertError);
    EXPECT_FALSE(QFile::exists(Path("bad.pdf")));

    job.data = LoggerDocument(3);
    ToPdf(printer, Path("no-such-folder/out.pdf"));
    EXPECT_THROW(PrintDocument(printer, job), std::runtime_error);
}

TEST_F(PrintingTest, AJobThatFailsOnTheWayRaisesAndLeavesTheFileAsItWas) {
    PrintJob job;
    job.data = LoggerDocument(40);
    WriteFile(Path("lost.pdf"), "%PDF-1.4 earlier");
    QPrinter printer(QPrinter::HighResolution);
    ToPdf(printer, Path("lost.pdf"));
    // No file grows past 8 KiB meanwhile: a full disk, as the writes see it.
    rlimit unlimited{};
    ::getrlimit(RLIMIT_FSIZE, &unlimited);
    const rlimit full{8192, unlimited.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &full);
    EXPECT_THROW(PrintDocument(printer, job), PrintError);
    ::setrlimit(RLIMIT_FSIZE, &unlimited);
    EXPECT_EQ(ReadFile(Path("lost.pdf")), "%PDF-1.4 earlier");
    EXPECT_EQ(QDir(tmp_.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"lost.pdf"});
    const QString queue = QStringLiteral("QMVwinRefusing");
    const std::string why = SetUpPdfQueue(queue);
    if (!why.empty() || QProcess::execute("sh", {"-c", "PATH=$PATH:/usr/sbin cupsreject " + queue}))
        GTEST_SKIP() << "no CUPS queue to refuse a job: " << why;
    printer.setOutputFileName(QString()); // back to the printer's own format
    printer.setPrinterName(queue);
    EXPECT_THROW(PrintDocument(printer, job), PrintError);
}

// Page one of a bar chart printed on a printer in the colour mode given, as a picture.
QImage PrintedChart(const QString& pdf, QPrinter::ColorMode mode) {
    PrintJob job;
    job.data = LoggerDocument(12); // levels 150 to 260 around the standard 200
    job.data.BarGraph = true;
    job.switches = {false, false, true};
    QPrinter printer(QPrinter::HighResolution);
    ToPdf(printer, pdf);
    printer.setColorMode(mode);
    PrintDocument(printer, job);
    QProcess raster;
    raster.start(QStringLiteral("pdftoppm"), {"-png", "-r", "100", "-singlefile", pdf, pdf});
    EXPECT_TRUE(raster.waitForFinished(30000) && raster.exitCode() == 0);
    return QImage(pdf + ".png");
}

bool Red(QRgb c) {
    return qRed(c) > 180 && qGreen(c) < 80 && qBlue(c) < 80;
}
bool Blue(QRgb c) {
    return qBlue(c) > 180 && qRed(c) < 80 && qGreen(c) < 80;
}

// A grey-scale printer makes the job monochrome; grey alone would leave the bars solid.
TEST_F(PrintingTest, MonochromeChartIsBlackWithHatchedBarsAboveTheStandard) {
    const QImage colour = PrintedChart(Path("colour.pdf"), QPrinter::Color);
    const QImage mono = PrintedChart(Path("grey.pdf"), QPrinter::GrayScale);
    int red = 0, blue = 0, hatchDark = 0, belowLight = 0;
    for (int y = 0; y < colour.height(); ++y)
        for (int x = 0; x < colour.width(); ++x) {
            const QRgb c = colour.pixel(x, y);
            const QRgb m = mono.pixel(x, y);
            if (Red(c)) {
                ++red;
                hatchDark += qGray(m) < 100 ? 1 : 0;
            } else if (Blue(c)) {
                ++blue;
                belowLight += qGray(m) > 200 ? 1 : 0;
            }
        }
    ASSERT_GT(red, 500);
    ASSERT_GT(blue, 500);
    // Above the standard: a cross-hatch, part black and part white.
    EXPECT_GT(hatchDark, red / 10);
    EXPECT_LT(hatchDark, red * 9 / 10);
    // At or below it: white inside the black outline.
    EXPECT_GT(belowLight, blue * 7 / 10);
}

TEST(PrintLegend, ListsTheStandardLineThenPointsOrBars) {
    const PrintLegend none = PrintLegendFor({true, false, false}, true);
    EXPECT_FALSE(none.visible);
    const PrintLegend points = PrintLegendFor({true, false, true}, true);
    EXPECT_TRUE(points.visible);
    EXPECT_TRUE(points.points);
    EXPECT_FALSE(points.bars);
    const PrintLegend bars = PrintLegendFor({false, false, true}, true);
    EXPECT_FALSE(bars.points);
    EXPECT_TRUE(bars.bars);
    const PrintLegend line = PrintLegendFor({false, false, true}, false);
    EXPECT_TRUE(line.visible);
    EXPECT_FALSE(line.points || line.bars);
}

TEST(PrintOutputFile, NumberedOnlyForSeveralJobs) {
    EXPECT_EQ(NumberedOutputFile("/tmp/out.pdf", 0, 1), "/tmp/out.pdf");
    EXPECT_EQ(NumberedOutputFile("/tmp/out.pdf", 0, 3), "/tmp/out-1.pdf");
    EXPECT_EQ(NumberedOutputFile("/tmp/out.pdf", 2, 3), "/tmp/out-3.pdf");
    EXPECT_EQ(NumberedOutputFile("/tmp/v1.2/out", 1, 2), "/tmp/v1.2/out-2");
}

} // namespace
} // namespace qmv::test
