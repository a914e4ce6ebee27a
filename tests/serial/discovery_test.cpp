// Port discovery and the connection prompt.
#include "serial/okbottomdlg.h"
#include "serial/portdiscovery.h"

#include "data/profile.h"
#include "ui/uitext.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace qmv;

namespace {

// Runs each case without the variable that overrides discovery, and restores it afterwards.
class Discovery : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = qgetenv("QMVWIN_SERIAL_DEVICE");
        qunsetenv("QMVWIN_SERIAL_DEVICE");
        ASSERT_TRUE(dir_.isValid());
    }
    void TearDown() override {
        if (saved_.isEmpty())
            qunsetenv("QMVWIN_SERIAL_DEVICE");
        else
            qputenv("QMVWIN_SERIAL_DEVICE", saved_);
    }
    // A stand-in for the driver's sysfs folder.
    void AddEntry(const QString& name) {
        QFile f(dir_.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QString DriverDir() const { return dir_.path(); }

    QByteArray saved_;
    QTemporaryDir dir_;
};

} // namespace

TEST_F(Discovery, EnvironmentVariableNamesThePort) {
    qputenv("QMVWIN_SERIAL_DEVICE", "/tmp/qmvsim-tty");
    QString port;
    int prompts = 0;
    EXPECT_EQ(FindDevicePort(
                  port, [&] { return ++prompts, false; }, DriverDir()),
              FindPortFound);
    EXPECT_EQ(port, QStringLiteral("/tmp/qmvsim-tty"));
    EXPECT_EQ(prompts, 0);
}

TEST_F(Discovery, FirstDeviceOfTheDriverIsTaken) {
    for (const char* name : {"bind", "unbind", "uevent", "new_id", "ttyUSB10", "ttyUSB2"})
        AddEntry(QString::fromLatin1(name));
    EXPECT_EQ(LookUpDevicePort(DriverDir()), QStringLiteral("/dev/ttyUSB2"));
    QString port;
    EXPECT_EQ(FindDevicePort(port, nullptr, DriverDir()), FindPortFound);
    EXPECT_EQ(port, QStringLiteral("/dev/ttyUSB2"));
}

TEST_F(Discovery, NoDeviceAndCancelGivesOne) {
    AddEntry(QStringLiteral("bind"));
    QString port;
    int prompts = 0;
    EXPECT_EQ(FindDevicePort(
                  port, [&] { return ++prompts, false; }, DriverDir()),
              FindPortCancelled);
    EXPECT_TRUE(port.isEmpty());
    EXPECT_EQ(prompts, 1);
    // A tool without a prompt: not found at once.
    EXPECT_EQ(FindDevicePort(port, nullptr, DriverDir()), FindPortCancelled);
    EXPECT_EQ(FindDevicePort(port, nullptr, DriverDir() + "/missing"), FindPortCancelled);
}

TEST_F(Discovery, OkAfterPluggingInSearchesAgain) {
    QString port;
    int prompts = 0;
    auto plugIn = [&] {
        ++prompts;
        if (prompts == 2)
            AddEntry(QStringLiteral("ttyUSB0"));
        return true;
    };
    EXPECT_EQ(FindDevicePort(port, plugIn, DriverDir()), FindPortFound);
    EXPECT_EQ(prompts, 2);
    EXPECT_EQ(port, QStringLiteral("/dev/ttyUSB0"));
}

TEST_F(Discovery, PortAlreadyKnownGivesTwoWithoutSearching) {
    qputenv("QMVWIN_SERIAL_DEVICE", "/dev/other");
    QString port = QStringLiteral("/dev/ttyUSB5");
    int prompts = 0;
    EXPECT_EQ(FindDevicePort(
                  port, [&] { return ++prompts, false; }, DriverDir()),
              FindPortNotSearched);
    EXPECT_EQ(port, QStringLiteral("/dev/ttyUSB5"));
    EXPECT_EQ(prompts, 0);
}

TEST_F(Discovery, ConnectionPromptShowsTableTextsAndAnswers) {
    InterfaceTexts().Set("QMVConnect", "Caption", "Connect the logger");
    InterfaceTexts().Set("QMVConnect", "MsgConnect", "Plug in the USB cable.");
    InterfaceTexts().Set("Button", "OKBtn", "Retry");
    InterfaceTexts().Set("Button", "CancelBtn", "Stop");

    TOKBottomDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("USBConnect")); // design text until shown
    EXPECT_TRUE(dlg.btnOK->isDefault());
    EXPECT_EQ(dlg.Image1->size(), QSize(50, 50));
    EXPECT_TRUE(dlg.Label1->font().bold());
    EXPECT_EQ(dlg.Label1->font().pixelSize(), 15);

    ConnectPrompt ask = DialogConnectPrompt(&dlg);
    QString shownTitle, shownText, shownOk, shownCancel;
    QTimer::singleShot(0, &dlg, [&] {
        shownTitle = dlg.windowTitle();
        shownText = dlg.Label1->text();
        shownOk = dlg.btnOK->text();
        shownCancel = dlg.btnCancel->text();
        dlg.btnOK->click();
    });
    EXPECT_TRUE(ask());
    EXPECT_EQ(shownTitle, QStringLiteral("Connect the logger"));
    EXPECT_EQ(shownText, QStringLiteral("Plug in the USB cable."));
    EXPECT_EQ(shownOk, QStringLiteral("Retry"));
    EXPECT_EQ(shownCancel, QStringLiteral("Stop"));

    QTimer::singleShot(0, &dlg, [&] { dlg.btnCancel->click(); });
    EXPECT_FALSE(ask());
    QTimer::singleShot(0, &dlg, [&] { dlg.reject(); }); // Escape or closing the window
    EXPECT_FALSE(ask());

    // Through the whole loop: Cancel on the prompt gives 1.
    QString port;
    QTimer::singleShot(0, &dlg, [&] { dlg.btnCancel->click(); });
    EXPECT_EQ(FindDevicePort(port, ask, DriverDir()), FindPortCancelled);
    InterfaceTexts().Clear();
}
