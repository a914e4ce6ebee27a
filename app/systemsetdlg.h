// The system settings dialog: the data folder, where every data file dialog starts and Save All
// writes.
#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace qmv {

class TSystemSetDlg : public QDialog {
    Q_OBJECT
public:
    // folder is read when the dialog is shown and written when Set is pressed.
    TSystemSetDlg(QString& folder, QWidget* parent = nullptr);

    void Execute();
    // Replaces the modal loop (tests): the hook sees the filled dialog and works its controls.
    using ShowHook = std::function<void(TSystemSetDlg&)>;
    void SetShowHook(ShowHook hook) { hook_ = std::move(hook); }

    void FormShow();
    void sbFolderOpenClick();
    void btnSetClick();

    QLabel* lbFolderName;
    QLineEdit* edFolderName;
    QToolButton* sbFolderOpen;
    QPushButton* btnSet;
    QPushButton* btnCancel;

private:
    QString& folder_;
    ShowHook hook_;
};

// A folder as typed, made the data folder's form: blanks around it and path delimiters at its end
// removed, the root folder staying "/"; a relative folder made absolute from the current folder,
// and "~" the home folder, so that the data folder does not move when the program is started
// from elsewhere. Empty stays empty.
QString CleanFolderName(const QString& typed);

} // namespace qmv
