// The state window and what the main window does around a device command.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include "data/profile.h"
#include "device/tfmcomm.h"
#include "device/windowcommandui.h"

namespace qmv {
namespace {

TEST(TfmComm, BlinksWhileShownAndStopsWhenClosed) {
    InterfaceTexts().Set("QMVComm", "Caption", "Communication");
    InterfaceTexts().Set("QMVComm", "MsgJotai", "Working...");
    QWidget main;
    main.resize(600, 400);
    main.show();
    TfmComm comm(&main);
    EXPECT_FALSE(comm.Timer1->isActive()); // interval 0 until shown
    comm.show();
    EXPECT_EQ(comm.windowTitle(), QStringLiteral("Communication"));
    EXPECT_EQ(comm.lbJotai->text(), QStringLiteral("Working..."));
    // Its own caption over a client area of 152 x 89: no title bar, so no buttons to close it.
    EXPECT_EQ(comm.lbCaption->text(), QStringLiteral("Communication"));
    EXPECT_EQ(comm.size(), QSize(152, comm.lbCaption->sizeHint().height() + 89));
    EXPECT_TRUE(comm.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(comm.windowFlags() & Qt::WindowStaysOnTopHint);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&comm, &escape);
    EXPECT_TRUE(comm.isVisible());
    // Drawn enabled while the main window, and it with it, is disabled for the command.
    main.setEnabled(false);
    EXPECT_FALSE(comm.isEnabled());
    const QPalette look = comm.lbJotai->palette();
    EXPECT_EQ(look.color(QPalette::Disabled, QPalette::WindowText),
              look.color(QPalette::Active, QPalette::WindowText));
    main.setEnabled(true);
    // The blocks of a download so far.
    comm.ShowProgress(12);
    EXPECT_EQ(comm.lbProgress->text(), QStringLiteral("12"));
    EXPECT_TRUE(comm.Timer1->isActive());
    EXPECT_EQ(comm.Timer1->interval(), 800);
    EXPECT_TRUE(comm.lbJotai->isVisible());
    comm.Timer1Timer();
    EXPECT_FALSE(comm.lbJotai->isVisible());
    comm.Timer1Timer();
    EXPECT_TRUE(comm.lbJotai->isVisible());
    comm.close();
    EXPECT_FALSE(comm.Timer1->isActive());
    // Shown again, it starts with its text visible and blinking.
    comm.Timer1Timer();
    comm.show();
    EXPECT_TRUE(comm.lbJotai->isVisible());
    EXPECT_TRUE(comm.Timer1->isActive());
    EXPECT_EQ(comm.lbProgress->text(), QString());
}

TEST(WindowCommandUi, DisablesTheMainWindowWhileACommandRuns) {
    QWidget main;
    main.show();
    {
        WindowCommandUi ui(&main, nullptr);
        EXPECT_FALSE(ui.AskToConnect()); // no prompt counts as Cancel
        ui.BeginCommand();
        EXPECT_FALSE(main.isEnabled());
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        ui.EndCommand();
        EXPECT_TRUE(main.isEnabled());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        ui.BeginCommand();
    } // a command left running is ended with its owner
    EXPECT_TRUE(main.isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace qmv
