#include "device/tfmcomm.h"

#include "ui/uitext.h"

#include <QCloseEvent>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace qmv {

TfmComm::TfmComm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint) {
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
    lbProgress = new QLabel(this);
    lbProgress->setObjectName(QStringLiteral("lbProgress"));
    lbProgress->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2); // the big state text needs most of the width
    layout->addWidget(lbJotai, 1);
    layout->addWidget(lbProgress);

    // The main window is disabled while a command runs, and this window with it; it is drawn in
    // the enabled colours all the same, since it is the one thing alive on the screen.
    QPalette enabledLook = palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto r = static_cast<QPalette::ColorRole>(role);
        enabledLook.setColor(QPalette::Disabled, r, enabledLook.color(QPalette::Active, r));
    }
    setPalette(enabledLook);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &QTimer::timeout, this, &TfmComm::Timer1Timer);
}

void TfmComm::FormShow() {
    setWindowTitle(Tx("QMVComm", "Caption"));
    // Wide enough for the caption beside the window manager's title-bar margins.
    setFixedSize(std::max(152, fontMetrics().horizontalAdvance(windowTitle()) + 64), 89);
    lbJotai->setText(Tx("QMVComm", "MsgJotai"));
    lbJotai->setVisible(true);
    lbProgress->clear();
    Timer1->start(BlinkMs);
}

void TfmComm::Timer1Timer() {
    lbJotai->setVisible(!lbJotai->isVisible());
}

void TfmComm::FormClose() {
    Timer1->stop();
}

void TfmComm::ShowProgress(int blocks) {
    lbProgress->setText(QString::number(blocks));
}

void TfmComm::closeEvent(QCloseEvent* event) {
    if (event->spontaneous())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void TfmComm::keyPressEvent(QKeyEvent* event) {
    // Escape would close it like a dialog's Cancel.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
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
