#include "device/tfmcomm.h"

#include "ui/uitext.h"

#include <QCloseEvent>
#include <QFont>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace qmv {

TfmComm::TfmComm(QWidget* parent)
    // Window managers give every titled window a close button (some also minimise and maximise),
    // so the window draws its own border and caption and asks for no frame at all.
    : QDialog(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("fmComm"));
    setWindowTitle(QStringLiteral("Comm"));

    auto* border = new QFrame(this);
    border->setFrameStyle(QFrame::Panel | QFrame::Raised);
    border->setLineWidth(2);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(border);

    lbCaption = new QLabel(windowTitle(), border);
    lbCaption->setObjectName(QStringLiteral("lbCaption"));
    lbCaption->setAlignment(Qt::AlignCenter);
    lbCaption->setAutoFillBackground(true);
    lbCaption->setBackgroundRole(QPalette::Highlight);
    lbCaption->setForegroundRole(QPalette::HighlightedText);
    lbCaption->setMargin(2);

    lbJotai = new QLabel(QStringLiteral("State"), border);
    lbJotai->setObjectName(QStringLiteral("lbJotai"));
    lbJotai->setAlignment(Qt::AlignCenter);
    QFont f = lbJotai->font();
    f.setBold(true);
    f.setPixelSize(24);
    lbJotai->setFont(f);
    // Hidden and shown as it blinks, without moving what stands below it.
    QSizePolicy keepPlace = lbJotai->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    lbJotai->setSizePolicy(keepPlace);
    lbProgress = new QLabel(border);
    lbProgress->setObjectName(QStringLiteral("lbProgress"));
    lbProgress->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(border);
    layout->setContentsMargins(2, 2, 2, 2); // the big state text needs most of the width
    layout->setSpacing(2);
    layout->addWidget(lbCaption);
    layout->addWidget(lbJotai, 1);
    layout->addWidget(lbProgress);
    Fit();

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
    lbCaption->setText(windowTitle());
    lbJotai->setText(Tx("QMVComm", "MsgJotai"));
    Fit();
    lbJotai->setVisible(true);
    lbProgress->clear();
    Timer1->start(BlinkMs);
}

void TfmComm::Fit() {
    // A client area of 152 x 89 below the caption, wider where the texts need it.
    const QSize texts = layout()->sizeHint();
    setFixedSize(std::max(152, texts.width()), lbCaption->sizeHint().height() + 89);
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
    FormShow();
    // Centred on the main window, which owns it, at the size its texts gave it.
    if (QWidget* owner = parentWidget()) {
        const QRect frame = owner->window()->frameGeometry();
        move(frame.center() - rect().center());
    }
    QDialog::showEvent(event);
}

void TfmComm::hideEvent(QHideEvent* event) {
    FormClose();
    QDialog::hideEvent(event);
}

} // namespace qmv
