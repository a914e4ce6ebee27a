#include "undocommands.h"

#include "app/ui/uitext.h"
#include "mdichild.h"

namespace qmv {

DocumentChangeCommand::DocumentChangeCommand(TMDIChild& doc, const QString& text,
                                             DocumentState before, DocumentState after)
    : QUndoCommand(text), doc_(doc), before_(std::move(before)), after_(std::move(after)),
      memoChanged_(before_.data.Memo != after_.data.Memo) {}

void DocumentChangeCommand::undo() {
    doc_.RestoreState(before_, memoChanged_);
}

void DocumentChangeCommand::redo() {
    doc_.RestoreState(after_, memoChanged_);
}

} // namespace qmv

namespace qmv {

QString UndoStepName(const char* mainKey) {
    QString text = Tx("Main", mainKey);
    text.remove(QLatin1Char('&'));
    while (text.endsWith(QLatin1Char('.')) || text.endsWith(QChar(0x2026)))
        text.chop(1);
    return text.trimmed();
}

} // namespace qmv
