// The device menu's clear, clock and timing commands of the main window: questions, messages,
// beeps and the timing dialog, against the instrument simulator.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cctype>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <unistd.h>

#include "device/devicecommands.h"
#include "device/devicelink.h"
#include "device/plxsetdlg.h"
#include "tests/app/apptest.h"
#include "tests/device/simulator.h"
#include "ui/uitext.h"

namespace qmv::test {
namespace {

class DeviceCommandTest : public AppTest {
protected:
    // Runs a command in a new main window, after prepare has seen the window's link (again
    // when the run was inconclusive, see Conclusively).
    void Run(const char* command, const std::function<void(DeviceLink&)>& prepare = {}) {
        test::Conclusively(sim_, [&] {
            dialogs_.messages.clear();
            TMainForm& form = Form();
            if (prepare)
                prepare(form.Link());
            form.Command(command)->trigger();
            return 0;
        });
    }
    QString Msg(const char* key) const { return Tx("Msg", key); }
    QString NoReply() const { return Msg("MsgComErr1") + "\n" + Msg("MsgComErr2"); }
    void ExpectLast(const QString& text, MessageKind kind) {
        ASSERT_FALSE(dialogs_.messages.empty());
        EXPECT_EQ(dialogs_.messages.back().text, text);
        EXPECT_EQ(static_cast<int>(dialogs_.messages.back().kind), static_cast<int>(kind));
        EXPECT_EQ(static_cast<int>(dialogs_.messages.back().buttons),
                  static_cast<int>(MessageButtons::Ok));
    }
    Simulator sim_;
};

// Acts on the timing dialog once it is open and modal; counts how often it appeared.
class DialogScript {
public:
    explicit DialogScript(std::function<void(TPLXSetDlg&)> act) : act_(std::move(act)) {
        connect_ = new QTimer;
        QObject::connect(connect_, &QTimer::timeout, [this] {
            auto* dlg = qobject_cast<TPLXSetDlg*>(QApplication::activeModalWidget());
            if (!dlg || dlg == seen_)
                return;
            seen_ = dlg;
            ++shown;
            act_(*dlg);
        });
        connect_->start(20);
    }
    ~DialogScript() { delete connect_; }
    int shown = 0;

private:
    std::function<void(TPLXSetDlg&)> act_;
    QTimer* connect_;
    TPLXSetDlg* seen_ = nullptr;
};

// --- Clear ------------------------------------------------------------------------------------

// The download history of a test, in a folder of its own; Break puts a file where it should be.
struct HistoryHome {
    QByteArray old = qgetenv("XDG_DATA_HOME");
    QTemporaryDir dir;
    HistoryHome() { qputenv("XDG_DATA_HOME", dir.path().toLocal8Bit()); }
    ~HistoryHome() { qputenv("XDG_DATA_HOME", old); }
    QString Folder() const { return dir.filePath("qmvwin/history"); }
    QStringList Files() const { return QDir(Folder()).entryList(QDir::Files); }
    void Break() { qputenv("XDG_DATA_HOME", QMV_BINARY_DIR "/bin/qmvsim"); } // a file: no folder
};

TEST_F(DeviceCommandTest, ClearKeepsTheRecordsThenAsksNamingTheFileCancelFirst) {
    HistoryHome home;
    ASSERT_TRUE(sim_.Start({"--generate", "30"}));
    dialogs_.messageAnswers = {IdCancel};
    Run("AcDelete");
    EXPECT_FALSE(sim_.Received().contains("CLR"));
    Run("AcDelete");
    ASSERT_GE(home.Files().size(), 2u); // each kept what it downloaded, the first one too
    ASSERT_EQ(dialogs_.messages.size(), 2u);
    EXPECT_EQ(dialogs_.messages[0].text, Msg("MsgClear") + "\r\n" + Msg("MsgClearKept") + "\r\n" +
                                             home.Folder() + "/" + home.Files().last());
    EXPECT_EQ(static_cast<int>(dialogs_.messages[0].buttons),
              static_cast<int>(MessageButtons::OkCancelSafe));
    ExpectLast(Msg("MsgClearFin"), MessageKind::Information);
    EXPECT_TRUE(sim_.Events().contains("memory cleared"));
}

TEST_F(DeviceCommandTest, ClearErasesOnlyWhatTheHistoryKept) {
    const struct {
        QStringList args;
        bool brokenHistory;
        bool cleared;
        const char* key; // of the first message: the question, or why nothing was erased
    } cases[] = {
        {{"--bad-crc-always", "1"}, false, false, "MsgComErr1"}, // the download fails
        {{}, true, false, "MsgHistoryErr"},                      // the history is not writable
        {{"--empty"}, false, true, "MsgClear"},                  // nothing to keep
    };
    for (const auto& c : cases) {
        HistoryHome home;
        if (c.brokenHistory)
            home.Break();
        ASSERT_TRUE(sim_.Start(c.args));
        Run("AcDelete");
        EXPECT_EQ(sim_.Received().contains("CLR"), c.cleared) << c.key;
        EXPECT_TRUE(home.Files().isEmpty()) << c.key;
        if (c.cleared) {
            EXPECT_EQ(dialogs_.messages[0].text, Msg(c.key)) << c.key;
            ExpectLast(Msg("MsgClearFin"), MessageKind::Information);
        } else {
            ASSERT_EQ(dialogs_.messages.size(), 1u) << c.key; // no question
            EXPECT_TRUE(dialogs_.messages[0].text.startsWith(Msg(c.key) + "\n")) << c.key;
            EXPECT_TRUE(dialogs_.messages.back().text.endsWith(Msg("MsgClearNone"))) << c.key;
        }
    }
}

TEST_F(DeviceCommandTest, ClearRefused) {
    ASSERT_TRUE(sim_.Start({"--refuse", "CLR:E1"}));
    Run("AcDelete");
    ExpectLast(Msg("MsgClearErr"), MessageKind::Error);
    EXPECT_FALSE(sim_.Events().contains("memory cleared"));
}

TEST_F(DeviceCommandTest, ClearWithoutReplyAfterThreeTries) {
    ASSERT_TRUE(sim_.Start({"--silent", "CLR"}));
    Run("AcDelete");
    ExpectLast(NoReply(), MessageKind::Error);
    EXPECT_TRUE(
        sim_.Received().endsWith(QByteArray("TYPE\r\n") + QByteArray("CLR\r\n").repeated(3)));
}

TEST_F(DeviceCommandTest, CancellingTheQuestionOpensNoPortAndSendsNothing) {
    ASSERT_TRUE(sim_.Start());
    for (const char* command : {"AcDate"}) { // the clear downloads before it asks
        dialogs_.messageAnswers = {IdCancel};
        Run(command);
        EXPECT_EQ(dialogs_.messages.size(), 1u) << command; // only the question
        EXPECT_TRUE(form_->Link().DevicePort.isEmpty()) << command;
    }
    EXPECT_TRUE(sim_.Received().isEmpty());
    EXPECT_EQ(dialogs_.messages.back().text, Msg("MsgDate0") + "\r\n" + Msg("MsgDate1"));
}

TEST_F(DeviceCommandTest, PortThatCannotBeOpenedWarns) {
    qputenv("QMVWIN_SERIAL_DEVICE", Path("no-such-tty").toLocal8Bit());
    Run("AcDate");
    qunsetenv("QMVWIN_SERIAL_DEVICE");
    ExpectLast(Msg("MsgComErr0"), MessageKind::Warning);

    // A line another program holds: the warning says so and what to do.
    ASSERT_TRUE(sim_.Start());
    const int held = ::open(sim_.Path().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    dialogs_.messages.clear();
    Form().Command("AcDate")->trigger();
    ::close(held);
    ASSERT_FALSE(dialogs_.messages.empty());
    EXPECT_TRUE(
        dialogs_.messages.back().text.startsWith(Msg("MsgComErr0") + "\n" + Msg("MsgPortBusy")))
        << dialogs_.messages.back().text.toStdString();
    EXPECT_TRUE(sim_.Received().isEmpty());
}

// --- Clock ------------------------------------------------------------------------------------

TEST_F(DeviceCommandTest, ClockOfTheLoggerCarriesTheLocalTime) {
    ASSERT_TRUE(sim_.Start({"--clock", "1001010000"}));
    const QDateTime before = QDateTime::currentDateTime();
    Run("AcDate");
    const QDateTime after = QDateTime::currentDateTime();
    ExpectLast(Msg("MsgDateFin"), MessageKind::Information);
    const QByteArray sent = sim_.Received();
    const int at = sent.indexOf("SET:");
    ASSERT_GE(at, 0);
    const QByteArray set = sent.mid(at);
    ASSERT_EQ(set.size(), 66);
    // The stamp is the second group, taken between the start and the end of the command.
    const QByteArray stamp = set.mid(7 + 11, 10);
    EXPECT_TRUE(stamp == before.toString("yyMMddHHmm").toLatin1() ||
                stamp == after.toString("yyMMddHHmm").toLatin1())
        << stamp.toStdString();
    EXPECT_TRUE(sim_.Events().contains("clock set to " + QString::fromLatin1(stamp)));
}

TEST_F(DeviceCommandTest, ClockUsesAnInformationReplyThatCameInTwoPieces) {
    // 60 bytes within the reply wait; the other 37 are let go when the first extra wait begins,
    // and have the extra waits' 600 ms to arrive.
    ASSERT_TRUE(sim_.Start({"--split", "INFO:60", "--split-hold"}));
    bool released = false;
    Run("AcDate", [&](DeviceLink& link) {
        released = false;
        link.OnWait = [&](int ms) {
            if (ms == InfoExtraWaitMs && link.RecvCount == 60 && !released) {
                released = true;
                sim_.Release();
            }
        };
    });
    form_->Link().OnWait = nullptr;
    EXPECT_TRUE(released);
    ExpectLast(Msg("MsgDateFin"), MessageKind::Information);
}

class ClockFailure : public DeviceCommandTest,
                     public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(ClockFailure, ShowsSetErr) {
    QStringList args;
    for (const std::string& a : GetParam())
        args << QString::fromStdString(a);
    ASSERT_TRUE(sim_.Start(args));
    Run("AcDate");
    ExpectLast(Msg("MsgSetErr"), MessageKind::Error);
    EXPECT_EQ(sim_.Received().contains("SET:"), args[1] == "SET");
}

INSTANTIATE_TEST_SUITE_P(DeviceCommandTest, ClockFailure,
                         ::testing::Values(std::vector<std::string>{"--length", "INFO:96"},
                                           std::vector<std::string>{"--bad-checksum", "INFO"},
                                           std::vector<std::string>{"--refuse", "INFO"},
                                           std::vector<std::string>{"--refuse", "SET"}),
                         [](const auto& info) {
                             std::string name;
                             for (const std::string& a : info.param)
                                 for (char c : a)
                                     if (std::isalnum(static_cast<unsigned char>(c)))
                                         name += c;
                             return name;
                         });

// --- Timing -----------------------------------------------------------------------------------

TEST_F(DeviceCommandTest, TimingStaysOutOfTheMenu) {
    TMainForm& form = Form();
    QAction* plx = form.Command("AcPLXSet");
    ASSERT_NE(plx, nullptr);
    EXPECT_FALSE(plx->isVisible());
    EXPECT_TRUE(plx->shortcut().isEmpty());
    QStringList visible;
    for (QAction* a : form.menuBar()->actions())
        if (a->menu() && a->menu()->actions().contains(plx))
            for (QAction* item : a->menu()->actions())
                if (item->isVisible())
                    visible << (item->isSeparator() ? "-" : item->objectName());
    EXPECT_EQ(visible, QStringList({"AcLoad", "AcDelete", "AcDate"}));
}

TEST_F(DeviceCommandTest, TimingWithALoggerWarnsAndOpensNoDialog) {
    ASSERT_TRUE(sim_.Start());
    DialogScript script([](TPLXSetDlg& dlg) { dlg.reject(); });
    Run("AcPLXSet");
    EXPECT_EQ(script.shown, 0);
    ASSERT_EQ(dialogs_.messages.size(), 1u); // no question first
    ExpectLast(Msg("MsgPLXSet"), MessageKind::Warning);
    EXPECT_EQ(sim_.Received(), QByteArray("TYPE\r\n"));
}

TEST_F(DeviceCommandTest, TimingDialogShowsTheValueAndWritesANewOne) {
    ASSERT_TRUE(sim_.Start({"--device", "plx01", "--timing", "25"}));
    QString shownValue, caption;
    bool mainEnabled = false;
    DialogScript script([&](TPLXSetDlg& dlg) {
        shownValue = dlg.edPLXBBR->text();
        caption = dlg.windowTitle();
        mainEnabled = form_->isEnabled();
        EXPECT_EQ(dlg.size(), QSize(242, 131));
        EXPECT_TRUE(dlg.windowFlags() & Qt::WindowStaysOnTopHint);
        dlg.UpDown1->Step(+1);
        EXPECT_EQ(dlg.edPLXBBR->text(), "26");
        dlg.edPLXBBR->setText("60");
        dlg.UpDown1->Step(+1); // the arrows stop at 60
        EXPECT_EQ(dlg.edPLXBBR->text(), "60");
        dlg.edPLXBBR->setText("7");
        dlg.btnSet->click();
    });
    Run("AcPLXSet");
    EXPECT_EQ(script.shown, 1);
    EXPECT_EQ(shownValue, "25");
    EXPECT_EQ(caption, Tx("PLXSet", "Caption"));
    EXPECT_TRUE(mainEnabled); // the port is closed while the dialog waits for the user
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    ExpectLast(Msg("MsgBBRFin"), MessageKind::Information);
    EXPECT_EQ(dialogs_.beeps, 0);
    EXPECT_EQ(sim_.Received(), QByteArray("TYPE\r\nINFO\r\nTYPE\r\nBBR:67:07\r\n"));
    EXPECT_TRUE(sim_.Events().contains("timing set to 07"));
}

TEST_F(DeviceCommandTest, TimingDialogRefusesBadValuesAndStaysOpen) {
    ASSERT_TRUE(sim_.Start({"--device", "plx01", "--refuse", "BBR"}));
    QByteArray sentBefore, sentAfterRange;
    bool visibleAfter = false;
    bool focused = false;
    int beepsAfterRange = -1;
    DialogScript script([&](TPLXSetDlg& dlg) {
        sentBefore = sim_.Received();
        dlg.edPLXBBR->setText("61"); // typed: the arrows stop at 60
        dlg.btnSet->click();
        sentAfterRange = sim_.Received();
        beepsAfterRange = dialogs_.beeps;
        focused = dlg.focusWidget() == dlg.edPLXBBR;
        dlg.edPLXBBR->setText("12");
        dlg.btnSet->click(); // refused by the device
        visibleAfter = dlg.isVisible();
        dlg.edPLXBBR->setText("x");
        dlg.btnSet->click(); // not a number: the general error report
        dlg.btnCancel->click();
    });
    Run("AcPLXSet");
    EXPECT_EQ(script.shown, 1);
    EXPECT_EQ(sentAfterRange, sentBefore); // 61 opened nothing
    EXPECT_EQ(beepsAfterRange, 1);
    EXPECT_TRUE(focused);
    EXPECT_TRUE(visibleAfter);
    ASSERT_EQ(dialogs_.messages.size(), 3u);
    EXPECT_EQ(dialogs_.messages[0].text, Msg("MsgWriErr"));
    EXPECT_EQ(static_cast<int>(dialogs_.messages[0].kind), static_cast<int>(MessageKind::Warning));
    EXPECT_EQ(dialogs_.messages[1].text, Msg("MsgSetErr"));
    EXPECT_EQ(static_cast<int>(dialogs_.messages[2].kind), static_cast<int>(MessageKind::Error));
    EXPECT_EQ(dialogs_.beeps, 2);
    EXPECT_TRUE(sim_.Received().endsWith("BBR:63:12\r\n"));
    EXPECT_TRUE(form_->isEnabled());
}

TEST_F(DeviceCommandTest, TimingReadingFailuresShowTheirMessages) {
    const struct {
        QStringList args;
        const char* key;
    } cases[] = {{{"--device", "plx01", "--refuse", "INFO"}, "MsgLoadErr"},
                 {{"--device", "plx01", "--length", "INFO:22"}, "MsgSetErr"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(sim_.Start(c.args));
        DialogScript script([](TPLXSetDlg& dlg) { dlg.reject(); });
        Run("AcPLXSet");
        EXPECT_EQ(script.shown, 0);
        ExpectLast(Msg(c.key), MessageKind::Error);
        EXPECT_EQ(dialogs_.beeps, 0);
    }
}

} // namespace
} // namespace qmv::test
