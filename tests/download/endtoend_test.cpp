// The download command of the main window from end to end against the simulator: download,
// Graph, save, reopen; the single dialog and its minimized state; qmvtool download.
#include <QApplication>
#include <QComboBox>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include "device/datasavedlg.h"
#include "device/download.h"
#include "device/recorddecode.h"
#include "protocol.h"
#include "tests/app/apptest.h"
#include "tests/device/simulator.h"

namespace qmv::test {
namespace {

int Count(const QByteArray& haystack, const QByteArray& needle) {
    return static_cast<int>(haystack.count(needle));
}

class DownloadCommand : public AppTest {
protected:
    TDataSaveDlg* Dialog() const { return form_->findChild<TDataSaveDlg*>(); }
    Simulator sim;
};

TEST_F(DownloadCommand, DownloadGraphSaveAndReopenGiveTheSameRecords) {
    ASSERT_TRUE(sim.Start({"--generate", "25", "--line-rate", "0"}));
    TMainForm& form = Form();
    form.Command("AcLoad")->trigger();
    TDataSaveDlg* dlg = Dialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(form.isEnabled());
    ASSERT_EQ(dlg->Info->topLevelItemCount(), 25);
    EXPECT_TRUE(dialogs_.messages.empty());

    dlg->btnGraph->click();
    ASSERT_EQ(form.Documents().size(), 1u);
    TMDIChild* doc = form.ActiveDocument();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->Caption(), "Untitled 1");
    EXPECT_EQ(doc->Tag, 0);
    EXPECT_EQ(form.DocCounter, 1);
    EXPECT_EQ(form.NewFileCounter, 2);
    EXPECT_TRUE(doc->Modified());
    EXPECT_EQ(doc->Model(), ModelQMV27);
    EXPECT_EQ(doc->Records(), dlg->DownloadTable());
    EXPECT_EQ(doc->AxisMax(), GraphAxisMax(LargestLevel(doc->Records()), doc->StdLevel()));
    EXPECT_EQ(doc->Info->topLevelItemCount(), 25);
    EXPECT_TRUE(form.Command("AcSave")->isEnabled());
    // A document that was never saved stays unsaved however far it is undone.
    form.Command("AcdBSort")->trigger();
    form.Command("AcUndo")->trigger();
    EXPECT_TRUE(doc->Modified());

    // Save as a new document does, then open the file again.
    const QString path = Path("download.q27");
    dialogs_.saveAnswers.push_back(path);
    form.Command("AcSave")->trigger();
    EXPECT_FALSE(doc->Modified());
    dialogs_.openAnswers.push_back({path});
    form.Command("AcFileOpen")->trigger();
    ASSERT_EQ(form.Documents().size(), 2u);
    TMDIChild* reopened = form.ActiveDocument();
    ASSERT_NE(reopened, doc);
    EXPECT_EQ(reopened->Records(), dlg->DownloadTable());
    EXPECT_EQ(reopened->Model(), ModelQMV27);
    EXPECT_EQ(reopened->AxisMax(), doc->AxisMax());
    EXPECT_TRUE(dialogs_.messages.empty()) << dialogs_.LastMessage().toStdString();

    // Another Graph from the same download is the next new document.
    dlg->btnGraph->click();
    EXPECT_EQ(form.ActiveDocument()->Caption(), "Untitled 2");
}

TEST_F(DownloadCommand, SecondTypeOnTheMinRangeSurvivesSaveAndReopen) {
    ASSERT_TRUE(sim.Start({"--device", "plx01", "--generate", "30", "--line-rate", "0"}));
    TMainForm& form = Form();
    form.SensorModelIndex = 2;
    form.Command("AcLoad")->trigger();
    TDataSaveDlg* dlg = Dialog();
    ASSERT_NE(dlg, nullptr);
    ASSERT_EQ(dlg->DownloadCount(), 30);
    dlg->btnGraph->click();
    TMDIChild* doc = form.ActiveDocument();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->Model(), ModelGZNMin);
    const QString path = Path("plx.q27");
    dialogs_.saveAnswers.push_back(path);
    form.Command("AcSave")->trigger();
    DocumentData back;
    ASSERT_EQ(LoadDataFile(path.toStdString(), back).status, LoadStatus::Ok);
    EXPECT_EQ(back.Model, ModelGZNMin);
    ASSERT_EQ(back.Records.size(), 30u);
    for (std::size_t i = 0; i < 30; ++i) {
        EXPECT_EQ(back.Records[i].DataNo, dlg->DownloadTable()[i].DataNo);
        EXPECT_EQ(StrToInt(back.Records[i].MinDb), StrToInt(dlg->DownloadTable()[i].MinDb));
        EXPECT_EQ(back.Records[i].Date, dlg->DownloadTable()[i].Date);
    }

    // The range chosen in the dialog is the program's, and is stored at exit.
    dlg->cbModelList->setCurrentIndex(1);
    dlg->cbModelListChange(1);
    EXPECT_EQ(form.SensorModelIndex, 1);
    AnswerClose(TCloseDlg::NoSaveAnswer);
    // Closing the last window would otherwise ask the application to quit, which ends every
    // wait of the next case at once.
    QApplication::setQuitOnLastWindowClosed(false);
    form.close();
    QApplication::setQuitOnLastWindowClosed(true);
    EXPECT_EQ(Store()->value("System/DListIndex").toInt(), 1);
}

TEST_F(DownloadCommand, AMinimizedDialogIsOnlyRestored) {
    ASSERT_TRUE(sim.Start({"--generate", "5", "--line-rate", "0"}));
    TMainForm& form = Form();
    form.Command("AcLoad")->trigger();
    QPointer<TDataSaveDlg> dlg = Dialog();
    ASSERT_FALSE(dlg.isNull());
    EXPECT_EQ(Count(sim.Received(), "TYPE"), 1);

    dlg->showMinimized();
    ASSERT_TRUE(dlg->isMinimized());
    form.Command("AcLoad")->trigger();
    EXPECT_FALSE(dlg->isMinimized());
    EXPECT_EQ(Count(sim.Received(), "TYPE"), 1); // restored, nothing downloaded
    EXPECT_EQ(form.findChildren<TDataSaveDlg*>().size(), 1);
}

TEST_F(DownloadCommand, AnOpenDialogDownloadsAgainIntoItself) {
    ASSERT_TRUE(sim.Start({"--generate", "5", "--line-rate", "0"}));
    TMainForm& form = Form();
    form.Command("AcLoad")->trigger();
    QPointer<TDataSaveDlg> dlg = Dialog();
    ASSERT_FALSE(dlg.isNull());
    form.Command("AcLoad")->trigger();
    EXPECT_EQ(Count(sim.Received(), "TYPE"), 2);
    dlg->btnReLoad->click(); // ReLoad is the same command
    EXPECT_EQ(Count(sim.Received(), "GET"), 3);
    EXPECT_EQ(form.findChildren<TDataSaveDlg*>().size(), 1);
    EXPECT_EQ(dlg->Info->topLevelItemCount(), 5);
}

TEST_F(DownloadCommand, AClosedDialogIsFreedAndTheCommandMakesANewOne) {
    ASSERT_TRUE(sim.Start({"--generate", "5", "--line-rate", "0"}));
    TMainForm& form = Form();
    form.Command("AcLoad")->trigger();
    QPointer<TDataSaveDlg> dlg = Dialog();
    ASSERT_FALSE(dlg.isNull());
    dlg->btnClose->click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dlg.isNull());
    form.Command("AcLoad")->trigger();
    ASSERT_NE(Dialog(), nullptr);
    EXPECT_EQ(Count(sim.Received(), "TYPE"), 2);
    EXPECT_EQ(Dialog()->Info->topLevelItemCount(), 5);
}

TEST_F(DownloadCommand, ClosingTheProgramDuringADownloadIsRefused) {
    ASSERT_TRUE(sim.Start({"--generate", "40", "--line-rate", "0"}));
    TMainForm& form = Form();
    QApplication::setQuitOnLastWindowClosed(false);
    form.Command("AcNewFile")->trigger();
    TMDIChild* doc = form.ActiveDocument();
    doc->SetRecords({LoggerRecord(1, "100", "2010/05/31 10:00")}, ModelQMV27);
    doc->RefreshAfterChange(0);
    AnswerClose(TCloseDlg::NoSaveAnswer);

    // The close box, pressed while the download waits for the instrument.
    int tries = 0;
    bool closed = true;
    QTimer closeBox;
    QObject::connect(&closeBox, &QTimer::timeout, [&] {
        if (tries == 0 && form.DeviceCommandRunning()) {
            ++tries;
            closed = form.close();
        }
    });
    closeBox.start(5);
    form.Command("AcLoad")->trigger();
    closeBox.stop();

    ASSERT_EQ(tries, 1);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(closeLabels_.empty()); // no save question in the middle of the transfer
    EXPECT_EQ(dialogs_.beeps, 1);
    EXPECT_TRUE(form.isVisible());
    ASSERT_NE(Dialog(), nullptr);
    EXPECT_EQ(Dialog()->LastResult(), DownloadOk);
    EXPECT_EQ(Dialog()->DownloadCount(), 40);
    EXPECT_FALSE(form.DeviceCommandRunning());
    EXPECT_TRUE(form.isEnabled());

    // Once the command has ended, closing asks as always.
    EXPECT_TRUE(form.close());
    EXPECT_EQ(closeLabels_.size(), 1u);
    QApplication::setQuitOnLastWindowClosed(true);
}

// qmvtool download: the file it writes and its exit statuses.
class ToolDownload : public ::testing::Test {
protected:
    int Run(const QStringList& args, QString* out = nullptr) {
        QProcess p;
        p.start(QStringLiteral(QMV_BINARY_DIR "/bin/qmvtool"), QStringList{"download"} + args);
        EXPECT_TRUE(p.waitForFinished(20000));
        if (out)
            *out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        return p.exitCode();
    }
    QString File() const { return tmp.filePath("out.q27"); }
    QTemporaryDir tmp;
    Simulator sim;
};

TEST_F(ToolDownload, WritesWhatGraphAndSaveWould) {
    ASSERT_TRUE(sim.Start({"--generate", "40", "--line-rate", "0"}));
    QString out;
    ASSERT_EQ(Run({File()}, &out), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("40 records")) << out.toStdString();
    DocumentData d;
    ASSERT_EQ(LoadDataFile(File().toStdString(), d).status, LoadStatus::Ok);
    const std::string bytes = qmvsim::GenerateLoggerRecords(40);
    std::vector<recReadDataSeg> expected;
    ASSERT_EQ(DecodeRecords(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                            DeviceQMV27, 0, expected),
              DecodeStatus::Ok);
    EXPECT_EQ(d.Records, expected);
    EXPECT_EQ(d.Model, ModelQMV27);
    EXPECT_EQ(d.AxisMax, GraphAxisMax(LargestLevel(expected), d.StdLevel));
    EXPECT_EQ(d.AxisMin, 0);
    EXPECT_EQ(d.StdLevel, 200);

    ASSERT_TRUE(sim.Start({"--device", "plx01", "--generate", "3", "--line-rate", "0"}));
    ASSERT_EQ(Run({File(), "--sensor-index", "1"}, &out), 0) << out.toStdString();
    ASSERT_EQ(LoadDataFile(File().toStdString(), d).status, LoadStatus::Ok);
    EXPECT_EQ(d.Model, ModelGZNMid);
    EXPECT_EQ(d.Records.size(), 3u);
}

class ToolDownloadStatus : public ToolDownload, public ::testing::WithParamInterface<int> {};

TEST_P(ToolDownloadStatus, ExitStatusIsTheResultCode) {
    const struct {
        QStringList sim;
        int status;
    } cases[] = {{{"--empty"}, 1},
                 {{"--id", "XYZ99"}, 2},
                 {{"--generate", "251"}, 3},
                 {{"--generate", "100", "--silent-after-ack", "1"}, 4}};
    // Half of the cases in each of two tests keeps each one short.
    const int half = GetParam();
    for (int i = half * 2; i < half * 2 + 2; ++i) {
        const auto& c = cases[i];
        ASSERT_TRUE(sim.Start(c.sim + QStringList{"--line-rate", "0"}));
        QString out;
        EXPECT_EQ(Run({File()}, &out), c.status) << c.sim.join(' ').toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral("result %1").arg(c.status))) << out.toStdString();
        EXPECT_FALSE(QFile::exists(File()));
    }
}

INSTANTIATE_TEST_SUITE_P(Halves, ToolDownloadStatus, ::testing::Values(0, 1));

TEST_F(ToolDownload, NoBridgeOrBadArguments) {
    sim.Stop(); // QMVWIN_SERIAL_DEVICE unset
    if (QDir(QStringLiteral("/sys/bus/usb-serial/drivers/cp210x"))
            .entryList({QStringLiteral("tty*")}, QDir::AllEntries | QDir::System)
            .isEmpty()) {
        EXPECT_EQ(Run({File()}), 5);
    }
    EXPECT_EQ(Run({}), 2);
    EXPECT_EQ(Run({File(), "--sensor-index", "3"}), 2);
}

} // namespace
} // namespace qmv::test
