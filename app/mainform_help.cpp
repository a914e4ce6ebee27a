// The main window's settings, help and version commands.
#include <QDir>
#include <QFileInfo>

#include "aboutbox.h"
#include "data/paths.h"
#include "mainform.h"
#include "systemsetdlg.h"
#include "ui/platformdialogs.h"
#include "ui/uitext.h"

namespace qmv {

void TMainForm::AcSystemSetExecute() {
    // The dialog writes the data folder straight into the settings, which reach the store at
    // exit; every file dialog from now on starts there.
    systemSetDlg_->Execute();
}

void TMainForm::AcHelpContentsExecute() {
    // Where the manual is, or should be, goes with every failure, so that the user can open it by
    // hand or put it back.
    const QString manual =
        QDir::cleanPath(QString::fromStdString(FindManual(options_.programFolder.toStdString())));
    const char* why = nullptr;
    if (!QFileInfo(manual).isFile())
        why = "MsgNoManual";
    else if (!Dialogs().OpenWithDesktop(manual))
        why = "MsgNoViewer";
    if (why)
        Dialogs().Message(this, Tx("Msg", why) + QStringLiteral("\r\n") + manual,
                          MessageKind::Warning, MessageButtons::Ok);
}

void TMainForm::AcHelpSearchExecute() {
    // The manual has no search of its own; the entry is never shown.
}

void TMainForm::AcAboutExecute() {
    aboutBox_->Execute();
}

} // namespace qmv
