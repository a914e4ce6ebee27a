#include "printsetdlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/uitext.h"

namespace qmv {

TPrintSetDlg::TPrintSetDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setModal(true);
    cbGraph = new QCheckBox(this);
    cbList = new QCheckBox(this);
    gbList = new QGroupBox(this);
    cbRecord = new QCheckBox(gbList);
    cbDataNo = new QCheckBox(gbList);
    cbOnatsu = new QCheckBox(gbList);
    cbDate = new QCheckBox(gbList);
    cbBPF = new QCheckBox(gbList);
    cbNF = new QCheckBox(gbList);
    cbNR = new QCheckBox(gbList);
    cbNote = new QCheckBox(gbList);
    cbMemo = new QCheckBox(this);
    btnSet = new QPushButton(this);
    btnCancel = new QPushButton(this);

    // The columns in two rows of four, in the table's order.
    auto* columns = new QGridLayout(gbList);
    QCheckBox* const order[] = {cbRecord, cbDataNo, cbOnatsu, cbDate, cbBPF, cbNF, cbNR, cbNote};
    for (int i = 0; i < 8; ++i)
        columns->addWidget(order[i], i % 4, i / 4);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnSet);
    buttons->addWidget(btnCancel);

    auto* all = new QVBoxLayout(this);
    all->addWidget(cbGraph);
    all->addWidget(cbList);
    all->addWidget(gbList);
    all->addWidget(cbMemo);
    all->addSpacing(8);
    all->addLayout(buttons);
    all->setSizeConstraint(QLayout::SetFixedSize);

    btnSet->setDefault(true);
    connect(btnSet, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cbList, &QCheckBox::clicked, this, [this] { cbListClick(); });
}

QCheckBox* TPrintSetDlg::Box(int option) const {
    QCheckBox* const boxes[PrintOptionCount] = {
        cbGraph, cbList, cbRecord, cbDataNo, cbOnatsu, cbDate, cbBPF, cbNF, cbNR, cbNote, cbMemo};
    return boxes[option];
}

void TPrintSetDlg::FormShow(const PrintOptions& options) {
    setWindowTitle(Tx("PrintSet", "Caption"));
    cbGraph->setText(Tx("PrintSet", "Graphcb"));
    cbList->setText(Tx("PrintSet", "Listcb"));
    cbMemo->setText(Tx("PrintSet", "Memocb"));
    const char* const columnKeys[] = {"Record", "DataNo", "Onatsu", "Date",
                                      "BPF",    "NF",     "NR",     "Note"};
    for (int i = 0; i < 8; ++i)
        Box(PrintRecord + i)->setText(Tx("QMVData", columnKeys[i]));
    btnSet->setText(Tx("Button", "SetBtn"));
    btnCancel->setText(Tx("Button", "CancelBtn"));

    // Every box shows its option as it is, so that Set never turns on what was off unseen.
    for (int i = 0; i < PrintOptionCount; ++i)
        Box(i)->setChecked(options[i]);
    cbListClick();
}

void TPrintSetDlg::cbListClick() {
    // Without the table its columns are greyed, but keep their ticks for when it comes back.
    for (int i = PrintRecord; i <= PrintNote; ++i)
        Box(i)->setEnabled(cbList->isChecked());
}

PrintOptions TPrintSetDlg::Chosen() const {
    PrintOptions options{};
    for (int i = 0; i < PrintOptionCount; ++i)
        options[i] = Box(i)->isChecked();
    return options;
}

bool TPrintSetDlg::Execute(PrintOptions& options) {
    FormShow(options);
    btnSet->setFocus(Qt::OtherFocusReason);
    if (exec() != QDialog::Accepted)
        return false;
    options = Chosen();
    return true;
}

} // namespace qmv
