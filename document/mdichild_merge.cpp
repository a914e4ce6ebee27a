// Merging a data file into the document: one undo step, or a message and no change at all.
#include <QPlainTextEdit>
#include <QTextCursor>
#include <stdexcept>

#include "data/merge.h"
#include "mdichild.h"
#include "ui/platformdialogs.h"
#include "ui/uitext.h"
#include "undocommands.h"

namespace qmv {

void TMDIChild::MergeDataFile(const QString& path) {
    const MergeResult result = qmv::MergeDataFile(Data(), LocalPath(path));
    switch (result.status) {
    case MergeStatus::OpenFailed:
        throw std::runtime_error("Cannot open file \"" + path.toStdString() + "\". " +
                                 result.detail);
    case MergeStatus::BadData:
        Dialogs().Beep();
        Dialogs().Message(this, Tx2("Msg", "MsgDataErr0", "Msg", "MsgDataErr1"),
                          MessageKind::Warning, MessageButtons::Ok);
        return;
    case MergeStatus::ModelMismatch:
        // Nothing was added, so the document stays as it was, unmodified included.
        Dialogs().Message(this, Tx2("Msg", "MsgModErr0", "Msg", "MsgModErr1"), MessageKind::Warning,
                          MessageButtons::Ok);
        return;
    case MergeStatus::Merged:
    case MergeStatus::LimitReached:
        break;
    }
    if (result.changed) {
        ApplyChange(UndoStepName("MenuE10"), result.after, SelectedIndex());
        // The merged memo is read from its first line.
        Memo1->moveCursor(QTextCursor::Start);
        Memo1->ensureCursorVisible();
    }
    if (result.status == MergeStatus::LimitReached)
        Dialogs().Message(this, Tx2("Msg", "MsgDataOver0", "Msg", "MsgOverErr"),
                          MessageKind::Warning, MessageButtons::Ok);
}

} // namespace qmv
