// Merging data files into the document: one undo step for all the files chosen together, or a
// message and no change at all.
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <stdexcept>

#include "data/merge.h"
#include "mdichild.h"
#include "ui/errorreport.h"
#include "ui/platformdialogs.h"
#include "ui/uitext.h"
#include "undocommands.h"

namespace qmv {

void TMDIChild::MergeDataFiles(const QStringList& paths) {
    DocumentData after = Data();
    bool changed = false;
    for (const QString& path : paths) {
        // With several files each message says which file it is about.
        const QString about = paths.size() > 1 ? QChar(0x2018) + QFileInfo(path).fileName() +
                                                     QChar(0x2019) + QStringLiteral("\r\n")
                                               : QString();
        const MergeResult result = qmv::MergeDataFile(after, LocalPath(path));
        switch (result.status) {
        case MergeStatus::OpenFailed:
            // This file's own error report; the files before and after it still merge.
            ReportException(this, FileError("MsgOpenErr", path, result.fault, result.detail));
            continue;
        case MergeStatus::BadData:
            Dialogs().Beep();
            Dialogs().Message(this, about + Tx2("Msg", "MsgDataErr0", "Msg", "MsgDataErr1"),
                              MessageKind::Warning, MessageButtons::Ok);
            continue;
        case MergeStatus::ModelMismatch:
            Dialogs().Message(this, about + Tx2("Msg", "MsgModErr0", "Msg", "MsgModErr1"),
                              MessageKind::Warning, MessageButtons::Ok);
            continue;
        case MergeStatus::Merged:
        case MergeStatus::LimitReached:
            break;
        }
        if (result.changed) {
            after = result.after;
            changed = true;
        }
        if (result.status == MergeStatus::LimitReached)
            Dialogs().Message(this, about + Tx2("Msg", "MsgDataOver0", "Msg", "MsgOverErr"),
                              MessageKind::Warning, MessageButtons::Ok);
    }
    // Nothing added leaves the document as it was, unmodified included.
    if (!changed)
        return;
    ApplyChange(UndoStepName("MenuE10"), after, SelectedIndex());
    // The merged memo is read from its first line.
    Memo1->moveCursor(QTextCursor::Start);
    Memo1->ensureCursorVisible();
}

} // namespace qmv
