#include "aboutbox.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "data/version.h"
#include "programicon.h"
#include "ui/platformdialogs.h"
#include "ui/uitext.h"

namespace qmv {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    // Only a close box in the title bar.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    ProgramIcon = new QLabel(panel);
    ProgramIcon->setPixmap(ProgramPicture(64));
    auto* name = new QLabel(QStringLiteral("QMVwin"), panel);
    QFont bold = name->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.4);
    name->setFont(bold);
    lbVersionTitle = new QLabel(QStringLiteral("Version\uFF1A"), panel);
    lbVersion = new QLabel(panel);
    lbVersion->setTextInteractionFlags(Qt::TextSelectableByMouse);
    btnClose = new QPushButton(this);
    btnClose->setDefault(true);

    auto* version = new QHBoxLayout;
    version->addWidget(lbVersionTitle);
    version->addWidget(lbVersion);
    version->addStretch(1);
    auto* text = new QVBoxLayout;
    text->addWidget(name);
    text->addLayout(version);
    text->addStretch(1);
    auto* inner = new QHBoxLayout(panel);
    inner->addWidget(ProgramIcon, 0, Qt::AlignTop);
    inner->addSpacing(12);
    inner->addLayout(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnClose);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutBox::FormShow() {
    setWindowTitle(Tx("About", "Caption"));
    btnClose->setText(Tx("Button", "CloseBtn"));
    lbVersion->setText(QString::fromStdString(VersionText()));
}

void TAboutBox::Execute() {
    FormShow();
    ExecCentred(*this);
}

} // namespace qmv
