// The version box: the program's picture and its version.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace qmv {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    void FormShow();
    // Fills the box and shows it modally.
    void Execute();

    QLabel* ProgramIcon;
    QLabel* lbVersionTitle;
    QLabel* lbVersion;
    QPushButton* btnClose;
};

} // namespace qmv
