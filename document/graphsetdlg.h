// The graph settings dialog: the level axis and the standard level of the active document's
// chart, line or bar, and the three chart switches every document shares.
#pragma once

#include <QDialog>
#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace qmv {

class DocumentHost;
class TMDIChild;

class TGraphSetDlg : public QDialog {
    Q_OBJECT
public:
    explicit TGraphSetDlg(DocumentHost& host, QWidget* parent = nullptr);

    // Fills the dialog from the active document and shows it modally.
    void Execute();
    // Replaces the modal loop (tests): the hook sees the filled dialog and works its controls.
    using ShowHook = std::function<void(TGraphSetDlg&)>;
    void SetShowHook(ShowHook hook) { hook_ = std::move(hook); }

    void FormShow();
    void btnSetteiClick();

    QGroupBox* gbLAxis;
    QLabel* lbMax;
    QSpinBox* seMax;
    QLabel* lbMin;
    QSpinBox* seMin;
    QGroupBox* gbStd;
    QLabel* lbStd;
    QSpinBox* seStd;
    QCheckBox* cbStdLine;
    QGroupBox* gbGraphStyle;
    QRadioButton* rbLineGraph;
    QRadioButton* rbBarGraph;
    QGroupBox* gbHyoji;
    QCheckBox* cbPoint;
    QCheckBox* cbMarker;
    QPushButton* btnSettei;
    QPushButton* btnCancel;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FieldExit(QSpinBox* field);

    DocumentHost& host_;
    ShowHook hook_;
};

} // namespace qmv
