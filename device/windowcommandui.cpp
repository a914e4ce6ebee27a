#include "device/windowcommandui.h"

#include "serial/okbottomdlg.h"

#include <QApplication>
#include <QCursor>

namespace qmv {

WindowCommandUi::WindowCommandUi(QWidget* mainWindow, TOKBottomDlg* prompt)
    : mainWindow_(mainWindow), prompt_(prompt) {}

WindowCommandUi::~WindowCommandUi() {
    if (busy_)
        EndCommand();
}

bool WindowCommandUi::AskToConnect() {
    if (!prompt_)
        return false;
    return DialogConnectPrompt(prompt_)();
}

void WindowCommandUi::BeginCommand() {
    if (busy_)
        return;
    busy_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::processEvents();
    if (mainWindow_)
        mainWindow_->setEnabled(false);
}

void WindowCommandUi::EndCommand() {
    if (!busy_)
        return;
    busy_ = false;
    if (mainWindow_)
        mainWindow_->setEnabled(true);
    QApplication::restoreOverrideCursor();
}

} // namespace qmv
