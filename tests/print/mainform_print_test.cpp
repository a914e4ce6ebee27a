// The print commands of the main window and the print settings dialog.
#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <functional>

#include "output/printsetdlg.h"
#include "printtest.h"
#include "tests/app/apptest.h"
#include "ui/uitext.h"

namespace qmv::test {
namespace {

// Acts on the next modal dialog of type T as soon as it is up; the timer goes with the caller.
template <typename T> std::unique_ptr<QTimer> WhenModal(std::function<bool(T*)> act) {
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(5);
    QTimer* t = timer.get();
    QObject::connect(t, &QTimer::timeout, [t, act] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget()))
            if (act(dialog)) // false: not ready yet, look again
                t->stop();
    });
    timer->start();
    return timer;
}

class PrintCommandsTest : public AppTest {
protected:
    TMDIChild* Open(TMainForm& form, const QString& name, const DocumentData& d) {
        dialogs_.openAnswers.push_back({WriteDoc(name, d)});
        form.Command("AcFileOpen")->trigger();
        return form.ActiveDocument();
    }
};

TEST_F(PrintCommandsTest, SettingsDialogSetsOrLeavesTheOptions) {
    TMainForm& form = Form();
    auto set = WhenModal<TPrintSetDlg>([](TPrintSetDlg* dlg) {
        EXPECT_EQ(dlg->windowTitle(), "Print Settings");
        EXPECT_EQ(dlg->cbNote->text(), "Note");
        EXPECT_TRUE(dlg->cbNote->isChecked());
        dlg->cbNote->setChecked(false);
        dlg->btnSet->click();
        return true;
    });
    form.Command("AcSetting")->trigger();
    PrintOptions expected = AllPrintOptions;
    expected[PrintNote] = false;
    EXPECT_EQ(form.Settings().Print, expected);

    // Ticked and then cancelled: the option stays off, and the box shows it off next time.
    auto cancel = WhenModal<TPrintSetDlg>([](TPrintSetDlg* dlg) {
        dlg->cbNote->setChecked(true);
        dlg->cbMemo->setChecked(false);
        QTest::keyClick(dlg, Qt::Key_Escape);
        return true;
    });
    form.Command("AcSetting")->trigger();
    EXPECT_EQ(form.Settings().Print, expected);
    bool shownOff = false;
    auto look = WhenModal<TPrintSetDlg>([&shownOff](TPrintSetDlg* dlg) {
        shownOff = !dlg->cbNote->isChecked() && dlg->cbMemo->isChecked();
        dlg->close(); // the title bar's close box
        return true;
    });
    form.Command("AcSetting")->trigger();
    EXPECT_TRUE(shownOff);
    EXPECT_EQ(form.Settings().Print, expected);
}

TEST_F(PrintCommandsTest, ListOffGreysTheColumnsButKeepsTheirTicks) {
    TMainForm& form = Form();
    TPrintSetDlg& dlg = form.PrintSetDialog();
    PrintOptions options = AllPrintOptions;
    options[PrintList] = false;
    options[PrintNR] = false;
    dlg.FormShow(options);
    for (QCheckBox* column : {dlg.cbRecord, dlg.cbDataNo, dlg.cbOnatsu, dlg.cbDate, dlg.cbBPF,
                              dlg.cbNF, dlg.cbNR, dlg.cbNote})
        EXPECT_FALSE(column->isEnabled());
    EXPECT_TRUE(dlg.cbGraph->isEnabled());
    EXPECT_TRUE(dlg.cbRecord->isChecked());
    EXPECT_FALSE(dlg.cbNR->isChecked());
    dlg.cbList->click();
    EXPECT_TRUE(dlg.cbNote->isEnabled());
    PrintOptions chosen = options;
    chosen[PrintList] = true;
    EXPECT_EQ(dlg.Chosen(), chosen);
}

TEST_F(PrintCommandsTest, PrintAsksForThePrinterThenPrintsTheActiveDocument) {
    TMainForm& form = Form();
    DocumentData d = LoggerDocument(3);
    d.Memo = {"memo text"};
    Open(form, "logger.q27", d);
    const QString pdf = Path("print.pdf");
    ToPdf(form.Printer(), pdf);

    dialogs_.printAnswers = {false};
    form.Command("AcPrint")->trigger();
    EXPECT_EQ(dialogs_.printDialogs, 1);
    EXPECT_FALSE(QFile::exists(pdf));

    form.Settings().Print[PrintMemo] = false;
    dialogs_.printAnswers = {true};
    form.Command("AcPrint")->trigger();
    const QString text = PdfText(pdf);
    EXPECT_TRUE(text.contains(QRegularExpression("File +logger.q27")));
    EXPECT_TRUE(text.contains(QRegularExpression("3 +003 +170 ")));
    EXPECT_FALSE(text.contains("memo text")); // the options of the settings
    EXPECT_TRUE(dialogs_.messages.empty());
    ToPdf(form.Printer(), QStringLiteral("/dev/full")); // a job that cannot be written whole
    dialogs_.printAnswers = {true};
    form.Command("AcPrint")->trigger();
    EXPECT_TRUE(dialogs_.messages.size() == 1 &&
                dialogs_.messages[0].text.startsWith(Tx("Msg", "MsgPrintErr") + "\r\n"));
}

TEST_F(PrintCommandsTest, PrintAllAsksOnceAndPrintsEveryDocumentToAFileOfItsOwn) {
    TMainForm& form = Form();
    Open(form, "a.q27", LoggerDocument(1));
    Open(form, "b.q27", LoggerDocument(2));
    Open(form, "c.q27", LoggerDocument(3));
    const QString pdf = Path("all.pdf");
    ToPdf(form.Printer(), pdf);
    dialogs_.printAnswers = {true};
    form.Command("AcAllPrint")->trigger();

    EXPECT_EQ(dialogs_.printDialogs, 1);
    EXPECT_FALSE(QFile::exists(pdf));
    ASSERT_EQ(form.Documents().size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const QString file = Path(QStringLiteral("all-%1.pdf").arg(i + 1));
        const QString caption = form.Documents()[i]->Caption();
        EXPECT_TRUE(PdfText(file).contains(QRegularExpression("File +" + caption)))
            << file.toStdString();
    }
    EXPECT_EQ(form.Printer().outputFileName(), pdf);
    // Done again, the files of the first time stay: nothing is printed.
    WriteFile(Path("all-2.pdf"), "%PDF-1.4 earlier");
    dialogs_.printAnswers = {true};
    form.Command("AcAllPrint")->trigger();
    EXPECT_TRUE(dialogs_.messages.size() == 1 && dialogs_.messages[0].text.endsWith("all-1.pdf"));
    EXPECT_EQ(ReadFile(Path("all-2.pdf")), "%PDF-1.4 earlier");
}

TEST_F(PrintCommandsTest, PrintAllSendsOneJobPerDocumentToTheQueue) {
    const QString queue = QStringLiteral("QMVwinTest");
    if (const std::string why = SetUpPdfQueue(queue); !why.empty())
        GTEST_SKIP() << "no CUPS queue for PDF files: " << why;

    TMainForm& form = Form();
    // Names of this run only, since the queue's folder keeps the files of earlier runs.
    const QString run = QString::number(QDateTime::currentMSecsSinceEpoch());
    for (int i = 0; i < 3; ++i)
        Open(form, QStringLiteral("all%1_%2.q27").arg(run).arg(i), LoggerDocument(i + 1));
    form.Printer().setOutputFormat(QPrinter::NativeFormat);
    form.Printer().setPrinterName(queue);
    dialogs_.printAnswers = {true};
    form.Command("AcAllPrint")->trigger();
    EXPECT_EQ(dialogs_.printDialogs, 1);

    // cups-pdf writes one file per job, named after the job's title.
    const QDir out(QDir::homePath() + QStringLiteral("/PDF"));
    const QStringList pattern{QStringLiteral("QMVwin_all") + run + "*.pdf"};
    QDeadlineTimer deadline(60000);
    while (out.entryList(pattern, QDir::Files).size() < 3 && !deadline.hasExpired())
        QTest::qWait(100);
    const QStringList jobs = out.entryList(pattern, QDir::Files);
    EXPECT_EQ(jobs.size(), 3) << jobs.join(' ').toStdString();
    for (const QString& job : jobs)
        QFile::remove(out.filePath(job));
}

TEST_F(PrintCommandsTest, PreviewShowsEveryPageAndARangePastTheEndPrintsNothing) {
    TMainForm& form = Form();
    Open(form, "long.q27", LoggerDocument(40));
    ToPdf(form.Printer(), Path("unused.pdf")); // A4, as the printing tests print
    form.Printer().setFromTo(2, 2);            // as the last Print dialog left it
    int pages = 0;
    auto look = WhenModal<QPrintPreviewDialog>([&pages](QPrintPreviewDialog* preview) {
        auto* widget = preview->findChild<QPrintPreviewWidget*>();
        if (!widget || widget->pageCount() == 0)
            return false;
        pages = widget->pageCount();
        EXPECT_EQ(preview->windowTitle(), "QMVwin long.q27");
        preview->reject();
        return true;
    });
    form.Command("AcPrintPreview")->trigger();
    EXPECT_EQ(pages, 2);
    EXPECT_TRUE(dialogs_.messages.empty());
    form.Printer().setFromTo(3, 4); // past the end: nothing to print
    dialogs_.printAnswers = {true};
    form.Command("AcPrint")->trigger();
    EXPECT_TRUE(dialogs_.messages.size() == 1 &&
                dialogs_.messages[0].text == Tx("Msg", "MsgNoPrintPage"));
    EXPECT_FALSE(QFile::exists(Path("unused.pdf")));
}

} // namespace
} // namespace qmv::test
