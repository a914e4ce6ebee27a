#include "systemsetdlg.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/errorreport.h"
#include "ui/platformdialogs.h"
#include "ui/uitext.h"

namespace qmv {

QString CleanFolderName(const QString& typed) {
    QString folder = typed.trimmed();
    while (folder.size() > 1 &&
           (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\'))))
        folder = folder.chopped(1).trimmed();
    if (folder.isEmpty())
        return folder;
    if (folder == QLatin1String("~") || folder.startsWith(QLatin1String("~/")))
        folder = QDir::homePath() + folder.mid(1);
    return QDir::cleanPath(QDir::current().absoluteFilePath(folder));
}

TSystemSetDlg::TSystemSetDlg(QString& folder, QWidget* parent) : QDialog(parent), folder_(folder) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    lbFolderName = new QLabel(this);
    edFolderName = new QLineEdit(this);
    lbFolderName->setBuddy(edFolderName);
    edFolderName->setFixedWidth(400);
    edFolderName->setFocusPolicy(Qt::ClickFocus); // Tab skips it
    sbFolderOpen = new QToolButton(this);
    sbFolderOpen->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    btnSet = new QPushButton(this);
    btnCancel = new QPushButton(this);
    btnSet->setDefault(true);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(lbFolderName);
    folderRow->addWidget(edFolderName);
    folderRow->addWidget(sbFolderOpen);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnSet);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(folderRow);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(edFolderName, &QLineEdit::textChanged, this, [this] { btnSet->setEnabled(true); });
    connect(sbFolderOpen, &QToolButton::clicked, this,
            [this] { RunReported(this, [this] { sbFolderOpenClick(); }); });
    connect(btnSet, &QPushButton::clicked, this,
            [this] { RunReported(this, [this] { btnSetClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TSystemSetDlg::Execute() {
    FormShow();
    if (hook_) {
        hook_(*this);
        return;
    }
    ExecCentred(*this);
}

void TSystemSetDlg::FormShow() {
    edFolderName->setText(folder_);
    setWindowTitle(Tx("SystemSet", "Caption"));
    lbFolderName->setText(Tx("SystemSet", "Folderlb"));
    sbFolderOpen->setToolTip(Tx("SystemSet", "FolderDlg"));
    btnSet->setText(Tx("Button", "SetBtn"));
    btnCancel->setText(Tx("Button", "CancelBtn"));
    btnSet->setEnabled(false);
}

void TSystemSetDlg::sbFolderOpenClick() {
    QString chosen;
    if (Dialogs().ChooseFolder(this, Tx("SystemSet", "FolderDlg"), folder_, chosen))
        edFolderName->setText(chosen);
}

void TSystemSetDlg::btnSetClick() {
    const QString folder = CleanFolderName(edFolderName->text());
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        Dialogs().Message(this, Tx("Msg", "MsgNoDir"), MessageKind::Warning, MessageButtons::Ok);
        return;
    }
    folder_ = folder;
    accept();
}

} // namespace qmv
