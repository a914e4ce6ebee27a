// The modal dialogs of the platform (message boxes, file dialogs, the input prompt, the print
// dialog, the beep, handing a file to the desktop) reached through one interface, so that tests can
// script the answers.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class QDialog;
class QWidget;
class QPrinter;

namespace qmv {

// Answers of a message box, with the numeric values callers compare against.
enum DialogResult : int {
    IdOk = 1,
    IdCancel = 2,
    IdYes = 6,
    IdNo = 7,
};

enum class MessageKind { Error, Warning, Information, Confirmation };

// OkCancelSafe: OK and Cancel with Cancel the default button, for a question whose OK destroys
// something, so that Enter alone never does.
enum class MessageButtons { Ok, OkCancel, OkCancelSafe, YesNo, YesNoCancel };

struct FileDialogRequest {
    QString title;
    QString folder;     // folder the dialog starts in
    QString fileName;   // proposed file name
    QString defaultExt; // without the dot, e.g. "q27"
    QString filter;     // "Name(*.q27)|*.q27|AllFiles(*,*)|*.*" pairs of caption and pattern
    bool multiSelect = false;
};

class PlatformDialogs {
public:
    virtual ~PlatformDialogs() = default;

    virtual int Message(QWidget* parent, const QString& text, MessageKind kind,
                        MessageButtons buttons) = 0;
    // True when confirmed; chosen receives full paths in the dialog's order.
    virtual bool OpenFiles(QWidget* parent, const FileDialogRequest& request,
                           QStringList& chosen) = 0;
    // True when confirmed; asks before overwriting an existing file.
    virtual bool SaveFile(QWidget* parent, const FileDialogRequest& request, QString& chosen) = 0;
    // The desktop's folder chooser, starting in folder; true when a folder was chosen.
    virtual bool ChooseFolder(QWidget* parent, const QString& title, const QString& folder,
                              QString& chosen) = 0;
    // One-line prompt; value holds the proposed answer and receives the typed one.
    virtual bool InputQuery(QWidget* parent, const QString& title, const QString& prompt,
                            QString& value) = 0;
    virtual bool PrintDialog(QWidget* parent, QPrinter& printer) = 0;
    virtual void Beep() = 0;
    // Hands a local file to the desktop's viewer for its type (a web page to the browser). False
    // when no program to open it could be started; what the viewer does then is not waited for.
    virtual bool OpenWithDesktop(const QString& path) = 0;
};

// The implementation in force; the real Qt dialogs unless a test installed its own.
PlatformDialogs& Dialogs();

// Installs dialogs for the rest of the run (nullptr restores the real ones). Not owned.
void SetDialogs(PlatformDialogs* dialogs);

// The real dialogs on Qt's widgets.
std::unique_ptr<PlatformDialogs> MakeQtDialogs();

// Shows one of the program's own dialogs modally, at the size its texts need and centred on the
// window it belongs to.
int ExecCentred(QDialog& dialog);

// Converts "Caption(*.a)|*.a|All(*,*)|*.*" into Qt's "Caption(*.a) (*.a);;All(*,*) (*.*)".
QString QtFilter(const QString& filter);

} // namespace qmv
