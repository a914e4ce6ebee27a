// The main window's settings, help and version commands.
#include <QDir>

#include "aboutbox.h"
#include "data/paths.h"
#include "mainform.h"
#include "systemsetdlg.h"
#include "ui/platformdialogs.h"

namespace qmv {

void TMainForm::AcSystemSetExecute() {
    // The dialog writes the data folder straight into the settings, which reach the store at
    // exit; every file dialog from now on starts there.
    systemSetDlg_->Execute();
}

void TMainForm::AcHelpContentsExecute() {
    // A missing manual, or no browser, is the desktop's to report.
    const std::string manual = FindManual(options_.programFolder.toStdString());
    Dialogs().OpenWithDesktop(QDir::cleanPath(QString::fromStdString(manual)));
}

void TMainForm::AcHelpSearchExecute() {
    // The manual has no search of its own; the entry is never shown.
}

void TMainForm::AcAboutExecute() {
    aboutBox_->Execute();
}

} // namespace qmv
