#include "closedlg.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "ui/uitext.h"

namespace qmv {

TCloseDlg::TCloseDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint |
                          Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setModal(true);
    setFixedSize(392, 146);

    auto* image = new QLabel(this);
    image->setGeometry(45, 20, 50, 50);
    image->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(48, 48));

    lbFileName = new QLabel(this);
    lbFileName->setGeometry(120, 22, 209, 16);
    lbCloseMsg0 = new QLabel(this);
    lbCloseMsg0->move(120, 40);
    lbCloseMsg1 = new QLabel(this);
    lbCloseMsg1->move(120, 58);
    for (QLabel* l : {lbFileName, lbCloseMsg0, lbCloseMsg1})
        l->setTextFormat(Qt::PlainText);

    btnSave = new QPushButton(this);
    btnAllSave = new QPushButton(this);
    btnNoSave = new QPushButton(this);
    btnCancel = new QPushButton(this);
    const int xs[] = {24, 112, 200, 288};
    const int results[] = {SaveAnswer, AllSaveAnswer, NoSaveAnswer, CancelAnswer};
    QPushButton* buttons[] = {btnSave, btnAllSave, btnNoSave, btnCancel};
    for (int i = 0; i < 4; ++i) {
        buttons[i]->setGeometry(xs[i], 96, 81, 25);
        const int result = results[i];
        connect(buttons[i], &QPushButton::clicked, this, [this, result] { done(result); });
    }
    btnSave->setDefault(true);
}

void TCloseDlg::FillTexts() {
    setWindowTitle(Tx("CloseDlg", "Caption"));
    lbFileName->setText(QLatin1Char('"') + FileLabel + QLatin1Char('"'));
    lbCloseMsg0->setText(IsNewDocument ? Tx("Msg", "MsgSave0") : Tx("Msg", "MsgSave1"));
    lbCloseMsg1->setText(Tx("Msg", "MsgSave2"));
    for (QLabel* l : {lbCloseMsg0, lbCloseMsg1})
        l->adjustSize();
    btnSave->setText(Tx("CloseDlg", "SaveBtn"));
    btnAllSave->setText(Tx("CloseDlg", "AllSaveBtn"));
    btnNoSave->setText(Tx("CloseDlg", "NoSaveBtn"));
    btnCancel->setText(Tx("Button", "CancelBtn"));
}

void TCloseDlg::reject() {
    // Escape and the title bar's close box lose nothing: they count as Cancel.
    done(CancelAnswer);
}

int TCloseDlg::Execute() {
    FillTexts();
    // The button that last had the focus (Do not save, or a Save All greyed since) would
    // otherwise take Enter at the next prompt.
    btnSave->setDefault(true);
    btnSave->setFocus(Qt::OtherFocusReason);
    if (hook_)
        return hook_(*this);
    if (parentWidget()) {
        // Centred on the main window.
        const QRect pr = parentWidget()->frameGeometry();
        move(pr.center() - QPoint(width() / 2, height() / 2));
    }
    const int answer = exec();
    switch (answer) {
    case SaveAnswer:
    case AllSaveAnswer:
    case NoSaveAnswer:
        return answer;
    default:
        return CancelAnswer;
    }
}

} // namespace qmv
