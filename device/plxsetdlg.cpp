#include "device/plxsetdlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "data/record.h"
#include "device/devicecommands.h"
#include "device/devicenotice.h"
#include "device/windowcommandui.h"
#include "ui/errorreport.h"
#include "ui/platformdialogs.h"
#include "ui/uitext.h"

#include <algorithm>

namespace qmv {

TUpDown::TUpDown(QLineEdit* buddy, int min, int max, QWidget* parent)
    : QWidget(parent), buddy_(buddy), min_(min), max_(max), position_(min) {
    up_ = new QToolButton(this);
    up_->setArrowType(Qt::UpArrow);
    down_ = new QToolButton(this);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {up_, down_}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
    }
    connect(up_, &QToolButton::clicked, this, [this] { Step(1); });
    connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
}

void TUpDown::Step(int delta) {
    // The arrows start from the number in the box; from their own position when it holds none.
    try {
        position_ = StrToInt(FromQ(buddy_->text()));
    } catch (const EConvertError&) {
    }
    position_ = std::clamp(position_ + delta, min_, max_);
    buddy_->setText(QString::number(position_));
}

TPLXSetDlg::TPLXSetDlg(QWidget* parent, DeviceLink& link, TOKBottomDlg* prompt,
                       const QString& bbrText)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      link_(link), prompt_(prompt), bbrText_(bbrText) {
    setObjectName(QStringLiteral("PLXSetDlg"));
    setWindowTitle(QStringLiteral("PLXSetDlg"));
    setFixedSize(ClientWidth, ClientHeight);

    lbBBR = new QLabel(QStringLiteral("BBR"), this);
    lbBBR->setObjectName(QStringLiteral("lbBBR"));
    lbBBR->setGeometry(16, 20, 84, 18);
    lbBBR->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    edPLXBBR = new QLineEdit(QStringLiteral("0"), this);
    edPLXBBR->setObjectName(QStringLiteral("edPLXBBR"));
    edPLXBBR->setMaxLength(2);
    edPLXBBR->setGeometry(108, 18, 36, 22);

    UpDown1 = new TUpDown(edPLXBBR, TimingMin, TimingMax, this);
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    UpDown1->setGeometry(144, 18, 16, 22);
    UpDown1->Up()->setGeometry(0, 0, 16, 11);
    UpDown1->Down()->setGeometry(0, 11, 16, 11);

    lbSecond = new QLabel(QStringLiteral("Second"), this);
    lbSecond->setObjectName(QStringLiteral("lbSecond"));
    lbSecond->setGeometry(166, 20, 70, 18);

    lbRenge = new QLabel(QStringLiteral("Renge"), this);
    lbRenge->setObjectName(QStringLiteral("lbRenge"));
    lbRenge->setGeometry(16, 52, 210, 18);

    btnSet = new QPushButton(QStringLiteral("Set"), this);
    btnSet->setObjectName(QStringLiteral("btnSet"));
    btnSet->setGeometry(36, 88, 80, 27);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(126, 88, 80, 27);
    connect(btnSet, &QPushButton::clicked, this, &TPLXSetDlg::btnSetClick);
    connect(btnCancel, &QPushButton::clicked, this, &TPLXSetDlg::btnCancelClick);

    setTabOrder(edPLXBBR, btnSet);
    setTabOrder(btnSet, btnCancel);
}

void TPLXSetDlg::FormShow() {
    setWindowTitle(Tx("PLXSet", "Caption"));
    lbBBR->setText(Tx("PLXSet", "BBRlb"));
    lbSecond->setText(Tx("PLXSet", "Secondlb"));
    lbRenge->setText(Tx("PLXSet", "Rengelb"));
    btnSet->setText(Tx("Button", "SetBtn"));
    btnCancel->setText(Tx("Button", "CancelBtn"));
    edPLXBBR->setText(bbrText_);
}

void TPLXSetDlg::showEvent(QShowEvent* event) {
    // Centred on the main window.
    if (QWidget* owner = parentWidget()) {
        const QRect frame = owner->window()->frameGeometry();
        move(frame.center() - rect().center());
    }
    FormShow();
    QDialog::showEvent(event);
    edPLXBBR->setFocus();
}

void TPLXSetDlg::btnSetClick() {
    RunReported(this, [this] { WriteValue(); });
}

void TPLXSetDlg::btnCancelClick() {
    reject();
}

void TPLXSetDlg::FocusValue() {
    edPLXBBR->setFocus();
}

void TPLXSetDlg::WriteValue() {
    const int value = StrToInt(FromQ(edPLXBBR->text()));
    if (!TimingInRange(value)) {
        Dialogs().Beep();
        ShowNotice(this, NoticeOf(TimingWriteOutcome::OutOfRange));
        FocusValue();
        return;
    }

    // While writing, this dialog (not the main window behind it) is what waits disabled.
    WindowCommandUi ui(this, prompt_);
    DeviceCommandUi& previous = link_.Ui();
    struct Restore {
        DeviceLink& link;
        DeviceCommandUi& ui;
        ~Restore() { link.SetUi(&ui); }
    } restore{link_, previous};
    link_.SetUi(&ui);
    const DeviceResult<TimingWriteOutcome> r = RunWriteTiming(link_, value);

    const Notice notice = NoticeOf(r);
    if (r.Ran() && r.outcome == TimingWriteOutcome::Written) {
        ShowNotice(this, notice);
        accept();
        return;
    }
    // Every failure of the writing beeps except a silent line.
    const bool beep = r.frame == FrameStatus::OpenFailed ||
                      (r.Ran() && (r.outcome == TimingWriteOutcome::NotPlx ||
                                   r.outcome == TimingWriteOutcome::Refused));
    if (beep)
        Dialogs().Beep();
    ShowNotice(this, notice, RefusalText(link_));
    FocusValue();
}

} // namespace qmv
