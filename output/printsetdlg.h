// The print settings dialog: which parts of a document and which table columns are printed.
#pragma once

#include <QDialog>

#include "output/printlayout.h"

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace qmv {

class TPrintSetDlg : public QDialog {
    Q_OBJECT
public:
    explicit TPrintSetDlg(QWidget* parent = nullptr);

    // Shows options modally; Set copies the boxes into options and returns true. Cancel, Escape
    // and the close box leave options as they were.
    bool Execute(PrintOptions& options);

    // Texts from the language file, and one box per option ticked as the option is.
    void FormShow(const PrintOptions& options);
    // The options as the boxes show them.
    PrintOptions Chosen() const;

    QCheckBox* cbGraph;
    QCheckBox* cbList;
    QGroupBox* gbList;
    QCheckBox* cbRecord;
    QCheckBox* cbDataNo;
    QCheckBox* cbOnatsu;
    QCheckBox* cbDate;
    QCheckBox* cbBPF;
    QCheckBox* cbNF;
    QCheckBox* cbNR;
    QCheckBox* cbNote;
    QCheckBox* cbMemo;
    QPushButton* btnSet;
    QPushButton* btnCancel;

private:
    void cbListClick();
    QCheckBox* Box(int option) const;
};

} // namespace qmv
