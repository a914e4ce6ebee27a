#include "platformdialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QUrl>

namespace qmv {

namespace {

class QtDialogs final : public PlatformDialogs {
public:
    int Message(QWidget* parent, const QString& text, MessageKind kind,
                MessageButtons buttons) override {
        QMessageBox box(parent);
        box.setWindowTitle(QApplication::applicationName());
        box.setText(text);
        switch (kind) {
        case MessageKind::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case MessageKind::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageKind::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MessageKind::Confirmation:
            box.setIcon(QMessageBox::Question);
            break;
        }
        switch (buttons) {
        case MessageButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MessageButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case MessageButtons::OkCancelSafe:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case MessageButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case MessageButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        }
        switch (box.exec()) {
        case QMessageBox::Ok:
            return IdOk;
        case QMessageBox::Yes:
            return IdYes;
        case QMessageBox::No:
            return IdNo;
        default:
            return IdCancel;
        }
    }

    bool OpenFiles(QWidget* parent, const FileDialogRequest& request,
                   QStringList& chosen) override {
        QFileDialog dialog(parent, request.title, request.folder, QtFilter(request.filter));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(request.multiSelect ? QFileDialog::ExistingFiles
                                               : QFileDialog::ExistingFile);
        dialog.setDefaultSuffix(request.defaultExt);
        if (!request.fileName.isEmpty())
            dialog.selectFile(request.fileName);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        chosen = dialog.selectedFiles();
        return !chosen.isEmpty();
    }

    bool SaveFile(QWidget* parent, const FileDialogRequest& request, QString& chosen) override {
        QFileDialog dialog(parent, request.title, request.folder, QtFilter(request.filter));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(request.defaultExt);
        if (!request.fileName.isEmpty())
            dialog.selectFile(request.fileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return false;
        chosen = dialog.selectedFiles().first();
        return true;
    }

    bool ChooseFolder(QWidget* parent, const QString& title, const QString& folder,
                      QString& chosen) override {
        const QString answer = QFileDialog::getExistingDirectory(parent, title, folder);
        if (answer.isEmpty())
            return false;
        chosen = answer;
        return true;
    }

    bool InputQuery(QWidget* parent, const QString& title, const QString& prompt,
                    QString& value) override {
        bool ok = false;
        const QString answer =
            QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, value, &ok);
        if (ok)
            value = answer;
        return ok;
    }

    bool PrintDialog(QWidget* parent, QPrinter& printer) override {
        QPrintDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
    }

    void Beep() override { QApplication::beep(); }

    bool OpenWithDesktop(const QString& path) override {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
};

PlatformDialogs* g_installed = nullptr;

} // namespace

PlatformDialogs& Dialogs() {
    if (g_installed)
        return *g_installed;
    static std::unique_ptr<PlatformDialogs> real = MakeQtDialogs();
    return *real;
}

void SetDialogs(PlatformDialogs* dialogs) {
    g_installed = dialogs;
}

std::unique_ptr<PlatformDialogs> MakeQtDialogs() {
    return std::make_unique<QtDialogs>();
}

int ExecCentred(QDialog& dialog) {
    dialog.adjustSize();
    if (QWidget* owner = dialog.parentWidget())
        dialog.move(owner->geometry().center() - dialog.rect().center());
    return dialog.exec();
}

QString QtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        // A description that already shows patterns in brackets ("Files(*.q27)") would show
        // them twice; Qt reads the patterns from the brackets, so the real ones go there.
        QString name = parts[i].trimmed();
        if (name.endsWith(QLatin1Char(')')) && name.contains(QLatin1Char('(')))
            name = name.left(name.lastIndexOf(QLatin1Char('('))).trimmed();
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        // "*.*" means every file where it comes from; here it would skip names without a dot.
        for (QString& p : patterns)
            if (p.trimmed() == QLatin1String("*.*"))
                p = QStringLiteral("*");
        out << name + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}

} // namespace qmv
