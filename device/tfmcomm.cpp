#include "device/tfmcomm.h"

#include "ui/uitext.h"

#include <QFont>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace qmv {

TfmComm::TfmComm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("fmComm"));
    setWindowTitle(QStringLiteral("Comm"));
    setFixedSize(152, 89);

    lbJotai = new QLabel(QStringLiteral("State"), this);
    lbJotai->setObjectName(QStringLiteral("lbJotai"));
    lbJotai->setAlignment(Qt::AlignCenter);
    QFont f = lbJotai->font();
    f.setBold(true);
    f.setPixelSize(24);
    lbJotai->setFont(f);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbJotai);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &QTimer::timeout, this, &TfmComm::Timer1Timer);
}

void TfmComm::FormShow() {
    setWindowTitle(Tx("QMVComm", "Caption"));
    lbJotai->setText(Tx("QMVComm", "MsgJotai"));
    lbJotai->setVisible(true);
    Timer1->start(BlinkMs);
}

void TfmComm::Timer1Timer() {
    lbJotai->setVisible(!lbJotai->isVisible());
}

void TfmComm::FormClose() {
    Timer1->stop();
}

void TfmComm::showEvent(QShowEvent* event) {
    // Centred on the main window, which owns it.
    if (QWidget* owner = parentWidget()) {
        const QRect frame = owner->window()->frameGeometry();
        move(frame.center() - rect().center());
    }
    FormShow();
    QDialog::showEvent(event);
}

void TfmComm::hideEvent(QHideEvent* event) {
    FormClose();
    QDialog::hideEvent(event);
}

} // namespace qmv
