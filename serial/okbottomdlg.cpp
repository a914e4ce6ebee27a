#include "serial/okbottomdlg.h"

#include "ui/uitext.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace qmv {

namespace {

// A plug drawn in code, so the prompt needs no image file.
QPixmap PlugPicture() {
    QPixmap pm(50, 50);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::darkGray, 2));
    p.setBrush(QColor(70, 110, 170));
    p.drawRoundedRect(QRectF(8, 18, 24, 16), 3, 3);
    p.setBrush(Qt::lightGray);
    p.drawRect(QRectF(32, 21, 10, 10));
    p.setPen(QPen(Qt::darkGray, 3));
    p.drawLine(QPointF(8, 26), QPointF(2, 26));
    return pm;
}

} // namespace

TOKBottomDlg::TOKBottomDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("OKBottomDlg"));
    setWindowTitle(QStringLiteral("USBConnect"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(true);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(50, 50);
    Image1->setAttribute(Qt::WA_TranslucentBackground);
    Image1->setPixmap(PlugPicture());

    Label1 = new QLabel(QStringLiteral("ConnectMessage"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont f = Label1->font();
    f.setBold(true);
    f.setPixelSize(15);
    Label1->setFont(f);
    Label1->setWordWrap(true);

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(Image1, 0, Qt::AlignTop);
    top->addWidget(Label1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TOKBottomDlg::FormShow() {
    setWindowTitle(Tx("QMVConnect", "Caption"));
    Label1->setText(Tx("QMVConnect", "MsgConnect"));
    btnOK->setText(Tx("Button", "OKBtn"));
    btnCancel->setText(Tx("Button", "CancelBtn"));
}

void TOKBottomDlg::showEvent(QShowEvent* event) {
    FormShow();
    // Centred on the main window that owns the prompt.
    if (QWidget* owner = parentWidget()) {
        adjustSize();
        const QRect frame = owner->window()->frameGeometry();
        move(frame.center() - rect().center());
    }
    QDialog::showEvent(event);
}

ConnectPrompt DialogConnectPrompt(TOKBottomDlg* dlg) {
    return [dlg]() { return dlg && dlg->exec() == QDialog::Accepted; };
}

} // namespace qmv
