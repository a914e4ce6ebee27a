#include "errorreport.h"

#include <QDir>
#include <QLoggingCategory>

#include "ui/platformdialogs.h"
#include "ui/uitext.h"

namespace qmv {

Q_LOGGING_CATEGORY(lcFiles, "qmvwin.files")

QString FileErrorText(const char* key, const QString& path, FileFault fault) {
    QString text = Tx("Msg", key) + QStringLiteral("\r\n") + QDir::toNativeSeparators(path);
    if (fault != FileFault::None)
        text += QStringLiteral("\r\n") + Tx("Msg", FileFaultKey(fault));
    return text;
}

FileError::FileError(const char* key, const QString& path, FileFault fault,
                     const std::string& detail)
    : std::runtime_error(LocalPath(path) + ": " + detail),
      text_(FileErrorText(key, path, fault == FileFault::None ? FileFault::Other : fault)) {}

void ReportException(QWidget* parent, const std::exception& e) {
    if (const auto* file = dynamic_cast<const FileError*>(&e)) {
        // The user reads the reason in the language file's words; the system's own is logged.
        qCInfo(lcFiles, "%s", e.what());
        Dialogs().Beep();
        Dialogs().Message(parent, file->Text(), MessageKind::Error, MessageButtons::Ok);
        return;
    }
    // What() may come from the code page (conversion errors quote field text) or from the file
    // system; both are shown as they are, without guessing.
    Dialogs().Message(parent, QString::fromLocal8Bit(e.what()), MessageKind::Error,
                      MessageButtons::Ok);
}

void ReportUnknownException(QWidget* parent) {
    Dialogs().Message(parent, QStringLiteral("Unexpected error."), MessageKind::Error,
                      MessageButtons::Ok);
}

} // namespace qmv
