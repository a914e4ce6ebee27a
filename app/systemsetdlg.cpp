#include "systemsetdlg.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "mainform.h"
#include "ui/errorreport.h"
#include "ui/platformdialogs.h"
#include "ui/uitext.h"

namespace qmv {

QString CleanFolderName(const QString& typed) {
    QString folder = typed.trimmed();
    while (folder.size() > 1 &&
           (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\'))))
        folder = folder.chopped(1).trimmed();
    return folder;
}

TSystemSetDlg::TSystemSetDlg(QString& folder, QWidget* parent) : QDialog(parent), folder_(folder) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    edFolderName = new QLineEdit(this);
    edFolderName->setFixedWidth(400);
    edFolderName->setFocusPolicy(Qt::ClickFocus); // Tab skips it
    sbFolderOpen = new QToolButton(this);
    sbFolderOpen->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    btnSet = new QPushButton(this);
    btnCancel = new QPushButton(this);
    btnSet->setDefault(true);

    auto* folderRow = new QHBoxLayout;
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
    btnSet->setText(Tx("Button", "SetBtn"));
    btnCancel->setText(Tx("Button", "CancelBtn"));
    btnSet->setEnabled(false);
}

void TSystemSetDlg::sbFolderOpenClick() {
    // Confirming the proposed name takes the folder that was open in the dialog.
    FileDialogRequest request;
    request.folder = folder_;
    request.fileName = QStringLiteral("DmyFile");
    request.defaultExt = QStringLiteral("q27");
    request.filter = QLatin1String(OpenFilter);
    request.mustExist = false;
    QStringList chosen;
    if (Dialogs().OpenFiles(this, request, chosen) && !chosen.isEmpty())
        edFolderName->setText(QFileInfo(chosen.first()).absolutePath());
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
