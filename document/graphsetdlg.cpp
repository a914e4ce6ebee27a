#include "graphsetdlg.h"

#include <QAction>
#include <QCheckBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "documenthost.h"
#include "mdichild.h"
#include "ui/digitkeys.h"
#include "ui/errorreport.h"
#include "ui/platformdialogs.h"
#include "ui/uitext.h"
#include "undocommands.h"

namespace qmv {

namespace {

// The axis and the standard level are four and three digits wide in the data file; the fields
// take nothing the file could not hold.
QSpinBox* NumberField(QWidget* parent, int maximum) {
    auto* field = new QSpinBox(parent);
    field->setRange(0, maximum);
    field->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    field->setMinimumWidth(80);
    return field;
}

QHBoxLayout* Row(QLabel* label, QWidget* field) {
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addStretch(1);
    row->addWidget(field);
    return row;
}

} // namespace

TGraphSetDlg::TGraphSetDlg(DocumentHost& host, QWidget* parent) : QDialog(parent), host_(host) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);

    gbLAxis = new QGroupBox(this);
    lbMax = new QLabel(gbLAxis);
    seMax = NumberField(gbLAxis, 9999);
    lbMin = new QLabel(gbLAxis);
    seMin = NumberField(gbLAxis, 9999);
    auto* axis = new QVBoxLayout(gbLAxis);
    axis->addLayout(Row(lbMax, seMax));
    axis->addLayout(Row(lbMin, seMin));

    gbStd = new QGroupBox(this);
    cbStdLine = new QCheckBox(gbStd);
    lbStd = new QLabel(gbStd);
    seStd = NumberField(gbStd, 999);
    auto* std = new QVBoxLayout(gbStd);
    std->addWidget(cbStdLine);
    std->addLayout(Row(lbStd, seStd));

    gbGraphStyle = new QGroupBox(this);
    rbLineGraph = new QRadioButton(gbGraphStyle);
    rbBarGraph = new QRadioButton(gbGraphStyle);
    auto* style = new QVBoxLayout(gbGraphStyle);
    style->addWidget(rbLineGraph);
    style->addWidget(rbBarGraph);

    gbHyoji = new QGroupBox(this);
    cbPoint = new QCheckBox(gbHyoji);
    cbMarker = new QCheckBox(gbHyoji);
    auto* display = new QVBoxLayout(gbHyoji);
    display->addWidget(cbPoint);
    display->addWidget(cbMarker);

    btnSettei = new QPushButton(this);
    btnCancel = new QPushButton(this);
    btnSettei->setDefault(true);

    auto* left = new QVBoxLayout;
    left->addWidget(gbLAxis);
    left->addWidget(gbStd);
    auto* right = new QVBoxLayout;
    right->addWidget(gbGraphStyle);
    right->addWidget(gbHyoji);
    auto* groups = new QHBoxLayout;
    groups->addLayout(left);
    groups->addLayout(right);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnSettei);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (QSpinBox* field : {seMax, seMin, seStd})
        field->installEventFilter(this);
    connect(cbStdLine, &QCheckBox::toggled, seStd, &QWidget::setEnabled);
    connect(btnSettei, &QPushButton::clicked, this,
            [this] { RunReported(this, [this] { btnSetteiClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TGraphSetDlg::Execute() {
    FormShow();
    if (hook_) {
        hook_(*this);
        return;
    }
    ExecCentred(*this);
}

void TGraphSetDlg::FormShow() {
    TMDIChild* doc = host_.ActiveDocument();
    if (!doc)
        return; // the controls keep what they showed last time
    seMax->setValue(doc->AxisMax());
    seMin->setValue(doc->AxisMin());
    seStd->setValue(doc->StdLevel());
    cbPoint->setChecked(host_.Switches().point);
    cbMarker->setChecked(host_.Switches().marker);
    cbStdLine->setChecked(host_.Switches().stdLine);
    seStd->setEnabled(cbStdLine->isChecked());
    (doc->BarGraph() ? rbBarGraph : rbLineGraph)->setChecked(true);

    setWindowTitle(Tx("GraphSet", "Caption"));
    gbLAxis->setTitle(Tx("GraphSet", "LAxis"));
    lbMax->setText(Tx("GraphSet", "Maxlb"));
    lbMin->setText(Tx("GraphSet", "Minlb"));
    gbStd->setTitle(Tx("GraphSet", "Stdgb"));
    lbStd->setText(Tx("GraphSet", "Stdlb"));
    cbStdLine->setText(Tx("GraphSet", "StdLine"));
    cbStdLine->setMinimumWidth(cbStdLine->sizeHint().width()); // the whole caption
    gbGraphStyle->setTitle(Tx("GraphSet", "GraphStyle"));
    rbLineGraph->setText(Tx("GraphSet", "LineGraph"));
    rbBarGraph->setText(Tx("GraphSet", "BarGraph"));
    gbHyoji->setTitle(Tx("GraphSet", "Hyojigb"));
    cbPoint->setText(Tx("GraphSet", "Pointcb"));
    cbMarker->setText(Tx("GraphSet", "Markercb"));
    btnSettei->setText(Tx("Button", "SetBtn"));
    btnCancel->setText(Tx("Button", "CancelBtn"));
}

void TGraphSetDlg::btnSetteiClick() {
    // A value still being typed counts as typed.
    for (QSpinBox* field : {seMax, seMin, seStd})
        FieldExit(field);
    if (seMax->value() <= seMin->value()) {
        Dialogs().Message(this, Tx2("Msg", "MsgLAxErr0", "Msg", "MsgLAxErr1"), MessageKind::Warning,
                          MessageButtons::Ok);
        seMax->setFocus();
        return;
    }
    TMDIChild* doc = host_.ActiveDocument();
    if (!doc)
        return;
    // The document's part is one undo step when it changes anything; Set without a change leaves
    // the document as it was, unmodified included.
    DocumentData after = doc->Data();
    after.AxisMax = seMax->value();
    after.AxisMin = seMin->value();
    after.StdLevel = seStd->value();
    after.BarGraph = rbBarGraph->isChecked();
    doc->ApplyChange(UndoStepName("MenuG4"), after, doc->SelectedIndex());
    // The switches belong to every document: their commands flip them and redraw every chart.
    const ChartSwitches now = host_.Switches();
    const std::pair<QCheckBox*, std::pair<bool, const char*>> switches[] = {
        {cbPoint, {now.point, "AcPoint"}},
        {cbMarker, {now.marker, "AcMarker"}},
        {cbStdLine, {now.stdLine, "AcStdLine"}}};
    for (const auto& [box, state] : switches)
        if (box->isChecked() != state.first)
            if (QAction* command = host_.Command(state.second))
                command->trigger();
    accept();
}

void TGraphSetDlg::FieldExit(QSpinBox* field) {
    // An emptied field takes back the document's value, not the last one typed.
    if (!field->cleanText().trimmed().isEmpty())
        return;
    if (TMDIChild* doc = host_.ActiveDocument())
        field->setValue(field == seMax   ? doc->AxisMax()
                        : field == seMin ? doc->AxisMin()
                                         : doc->StdLevel());
}

bool TGraphSetDlg::eventFilter(QObject* watched, QEvent* event) {
    auto* field = qobject_cast<QSpinBox*>(watched);
    if (field && event->type() == QEvent::KeyPress &&
        TypesNonDigit(*static_cast<QKeyEvent*>(event)))
        return true; // only digits are typed into the fields
    if (field && event->type() == QEvent::FocusOut)
        FieldExit(field);
    return QDialog::eventFilter(watched, event);
}

} // namespace qmv
