#include "undocommands.h"

#include "mdichild.h"
#include "ui/uitext.h"

namespace qmv {

DocumentChangeCommand::DocumentChangeCommand(TMDIChild& doc, const QString& text,
                                             DocumentState before, DocumentState after)
    : QUndoCommand(text), doc_(doc), before_(std::move(before)), after_(std::move(after)),
      parts_(0) {
    const DocumentData& a = before_.data;
    const DocumentData& b = after_.data;
    if (a.Memo != b.Memo)
        parts_ |= Memo;
    if (a.AxisMax != b.AxisMax || a.AxisMin != b.AxisMin || a.StdLevel != b.StdLevel)
        parts_ |= ChartRange;
    if (a.BarGraph != b.BarGraph)
        parts_ |= ChartStyle;
}

void DocumentChangeCommand::undo() {
    doc_.RestoreState(before_, parts_);
}

void DocumentChangeCommand::redo() {
    doc_.RestoreState(after_, parts_);
}

MemoEditCommand::MemoEditCommand(TMDIChild& doc, const QString& text, MemoState before,
                                 MemoState after, int position, int removed, int added)
    : QUndoCommand(text), doc_(doc), before_(std::move(before)), after_(std::move(after)),
      position_(position), end_(position + added), singleKey_(removed + added == 1) {}

void MemoEditCommand::undo() {
    doc_.RestoreMemo(before_);
}

void MemoEditCommand::redo() {
    if (pushed_)
        doc_.RestoreMemo(after_);
    pushed_ = true;
}

bool MemoEditCommand::mergeWith(const QUndoCommand* other) {
    const auto* next = static_cast<const MemoEditCommand*>(other);
    // One key after another at the place the last one left: typing forward, Backspace or Del.
    if (!singleKey_ || !next->singleKey_ ||
        (next->position_ != end_ && next->position_ != end_ - 1))
        return false;
    after_ = next->after_;
    position_ = next->position_;
    end_ = next->end_;
    // Typing that ends where it began is no step at all.
    setObsolete(!before_.untouched && before_.text == after_.text);
    return true;
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
