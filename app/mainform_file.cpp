// The main window's File commands: new, open, save, save as, save all, close, exit, and the
// text export, which writes a file too.

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>

#include "data/history.h"
#include "data/paths.h"
#include "document/mdichild.h"
#include "mainform.h"
#include "output/textexport.h"
#include "ui/errorreport.h"
#include "ui/platformdialogs.h"
#include "ui/uitext.h"

namespace qmv {

const char* const OpenFilter = "QMVwinFie(*.q27)|*.q27|AllFiles(*,*)|*.*";
const char* const SaveFilter = "QMVwinFile(*.q27)|*.q27|AllFiles(*,*)|*.*";
const char* const TextFilter = "TextFiles(*.txt)|*.txt";

QString AllSaveFileName(const QString& caption, const std::string& firstDate, const QString& stamp,
                        int number) {
    // Year without century, month, day, hour, minute of "yyyy/mm/dd hh:nn".
    static const int positions[] = {2, 3, 5, 6, 8, 9, 11, 12, 14, 15};
    QString d;
    for (int p : positions) {
        const bool digit =
            p < static_cast<int>(firstDate.size()) && firstDate[p] >= '0' && firstDate[p] <= '9';
        d += digit ? QChar(firstDate[p]) : QChar('_');
    }
    QString name = caption;
    for (QChar& c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QChar(0))
            c = QLatin1Char('_');
    return name + QLatin1Char('_') + d + QLatin1Char('_') + stamp + QLatin1Char('_') +
           QString::number(number);
}

void TMainForm::AcNewFileExecute() {
    TMDIChild* doc = CreateDocument();
    doc->SetRecords({}, ModelNone);
    doc->SetCaption(doc->FileName() + QLatin1Char(' ') + QString::number(NewFileCounter));
    doc->LayoutPanes(ModelNone);
    ++NewFileCounter;
}

void TMainForm::OpenFilesFrom(const QString& folder, const QString& title) {
    FileDialogRequest request;
    request.title = title;
    request.folder = folder;
    request.defaultExt = QStringLiteral("q27");
    request.filter = QLatin1String(OpenFilter);
    request.multiSelect = true;
    QStringList files;
    if (!Dialogs().OpenFiles(this, request, files))
        return;
    for (const QString& file : files)
        OpenDocumentFile(file);
}

void TMainForm::AcFileOpenExecute() {
    OpenFilesFrom(DataFolder(), QString());
}

void TMainForm::AcHistoryExecute() {
    // Made when missing, so that the dialog opens there even before the first download.
    const QString folder = QString::fromStdString(HistoryFolder());
    QDir().mkpath(folder);
    QString title = Tx("Main", "MenuF12");
    if (title.endsWith(QLatin1String("...")))
        title.chop(3);
    OpenFilesFrom(folder, title);
}

bool TMainForm::RefuseEmpty(TMDIChild* doc) {
    if (doc->RecordCount() > 0 || !doc->MemoEmpty())
        return false;
    Dialogs().Message(this, Tx("Msg", "MsgNoRecord"), MessageKind::Confirmation,
                      MessageButtons::Ok);
    return true;
}

void TMainForm::AcSaveExecute() {
    TMDIChild* doc = ActiveDocument();
    if (!doc || RefuseEmpty(doc))
        return;
    if (!doc->IsNewDocument())
        doc->SaveToFile(doc->FileName());
    else
        AcSaveAsExecute();
}

void TMainForm::AcSaveAsExecute() {
    TMDIChild* doc = ActiveDocument();
    if (!doc || RefuseEmpty(doc))
        return;
    QString folder, name, path;
    if (!doc->IsNewDocument()) {
        const QFileInfo file(doc->FileName());
        folder = file.absolutePath();
        name = file.fileName();
    } else {
        folder = DataFolder();
        name = doc->Caption();
    }
    if (AskDataFilePath(this, folder, name, path))
        doc->SaveToFile(path);
}

void TMainForm::AcAllSaveExecute() {
    if (!ActiveDocument())
        return;
    QString folder = DataFolder();
    while (folder.size() > 1 && (folder.endsWith(QLatin1Char('/')) || folder.endsWith('\\')))
        folder.chop(1);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyMMddhhmm"));
    const std::vector<TMDIChild*> docs = docs_;
    for (std::size_t i = 0; i < docs.size(); ++i) {
        TMDIChild* doc = docs[i];
        if (!doc->Modified() || doc->RecordCount() == 0)
            continue;
        // A file's caption without its extension, so that ".q27" is not left inside the name.
        const QString caption =
            doc->IsNewDocument() ? doc->Caption() : QFileInfo(doc->Caption()).completeBaseName();
        const QString name =
            AllSaveFileName(caption, doc->Records().front().Date, stamp, static_cast<int>(i) + 1);
        // Never over a file already there: another document saved by Save All in the same minute
        // at the same position, say, whose only copy that file may be.
        QString path = folder + QLatin1Char('/') + name + QStringLiteral(".q27");
        for (int copy = 2; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++copy)
            path = folder + QLatin1Char('/') + name + QStringLiteral(" (%1).q27").arg(copy);
        // The name is a single file name, so the file stays in the data folder.
        if (QFileInfo(path).absolutePath() !=
            QFileInfo(folder + QStringLiteral("/x")).absolutePath())
            throw FileError("MsgSaveErr", path, FileFault::Other, "not a name in the data folder");
        doc->SaveToFile(path);
    }
}

void TMainForm::AcFileCloseExecute() {
    if (TMDIChild* doc = ActiveDocument())
        CloseDocument(doc);
}

void TMainForm::AcAllCloseExecute() {
    const std::size_t count = docs_.size();
    for (std::size_t i = 0; i < count && !docs_.empty(); ++i) {
        TMDIChild* first = docs_.front();
        CloseDocument(first);
        if (!docs_.empty() && docs_.front() == first)
            break; // its close was refused
    }
}

void TMainForm::AcExitExecute() {
    close();
}

// Edit commands.

void TMainForm::AcTextSaveExecute() {
    TMDIChild* doc = ActiveDocument();
    if (!doc)
        return;
    FileDialogRequest request;
    request.defaultExt = QStringLiteral("txt");
    request.filter = QLatin1String(TextFilter);
    if (!doc->IsNewDocument()) {
        request.folder = QFileInfo(doc->FileName()).absolutePath();
        request.fileName = QFileInfo(doc->Caption()).completeBaseName();
    } else {
        request.folder = DataFolder();
        request.fileName = doc->Caption();
    }
    QString path;
    if (!Dialogs().SaveFile(this, request, path))
        return;
    const SaveResult result = ExportText(LocalPath(path), FromQ(doc->Caption()),
                                         FromQ(doc->ModelName()), doc->Data(), InterfaceTexts());
    if (result.status == SaveStatus::OpenFailed)
        throw FileError("MsgSaveErr", path, result.fault, result.detail);
    if (result.status == SaveStatus::WriteFailed) {
        Dialogs().Beep();
        Dialogs().Message(this, FileErrorText("MsgSaveErr", path, result.fault), MessageKind::Error,
                          MessageButtons::Ok);
    }
}

// Graph commands.

} // namespace qmv
