// The timing dialog of the PLX01: shows the value read from the device and writes a new one.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace qmv {

class DeviceLink;
class TOKBottomDlg;

// An up-down control attached to an edit box: its arrows step the number in the box within
// Min..Max. Typing is left to the box, so a value outside the range can still be typed.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    TUpDown(QLineEdit* buddy, int min, int max, QWidget* parent = nullptr);

    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    // One step up (+1) or down (-1) from the number in the box, kept within the range.
    void Step(int delta);

    QToolButton* Up() const { return up_; }
    QToolButton* Down() const { return down_; }

private:
    QLineEdit* buddy_;
    int min_, max_;
    int position_;
    QToolButton* up_;
    QToolButton* down_;
};

class TPLXSetDlg : public QDialog {
    Q_OBJECT
public:
    // link: the main window's link; prompt: the connection prompt (nullptr: none); bbrText: the
    // value read from the device, shown in the box.
    TPLXSetDlg(QWidget* parent, DeviceLink& link, TOKBottomDlg* prompt, const QString& bbrText);

    QLabel* lbBBR = nullptr;
    QLineEdit* edPLXBBR = nullptr;
    TUpDown* UpDown1 = nullptr;
    QLabel* lbSecond = nullptr;
    QLabel* lbRenge = nullptr;
    QPushButton* btnSet = nullptr;
    QPushButton* btnCancel = nullptr;

    static constexpr int ClientWidth = 242;
    static constexpr int ClientHeight = 131;

    // Texts and the value box; runs on show.
    void FormShow();
    // Writes the value in the box; the dialog closes once the device accepted it. A text that is
    // not a number reaches the general error report.
    void btnSetClick();
    void btnCancelClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void WriteValue();
    void FocusValue();

    DeviceLink& link_;
    TOKBottomDlg* prompt_;
    QString bbrText_;
};

} // namespace qmv
