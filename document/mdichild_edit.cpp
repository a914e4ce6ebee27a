// The document window's changes of records and memo: each one an undo step.
#include <QPlainTextEdit>
#include <QUndoStack>

#include "mdichild.h"
#include "undocommands.h"

namespace qmv {

void TMDIChild::ApplyChange(const QString& undoText, const DocumentData& after, int selectRow) {
    PushChange(undoText, after, selectRow, sortMode_);
}

void TMDIChild::PushChange(const QString& undoText, const DocumentData& after, int selectRow,
                           int sortMode) {
    // A field the list or the chart would fail on is refused while the document is untouched.
    CheckForDisplay(after);
    DocumentState before{Data(), sortMode_, SelectedIndex()};
    DocumentState next{after, sortMode, selectRow};
    if (next.data.Records.size() > static_cast<std::size_t>(MaxRecords))
        next.data.Records.resize(MaxRecords);
    undoStack_->push(
        new DocumentChangeCommand(*this, undoText, std::move(before), std::move(next)));
}

void TMDIChild::RestoreState(const DocumentState& state, bool memoToo) {
    const bool modelChanged = state.data.Model != data_.Model;
    std::vector<std::string> memo = MemoLines();
    data_ = state.data;
    data_.Memo = std::move(memo);
    sortMode_ = state.sortMode;
    if (memoToo)
        SetMemoLines(state.data.Memo);
    if (modelChanged)
        LayoutPanes(data_.Model);
    RefreshAfterChange(state.row);
    // Modified follows once the stack has moved (UndoStepTaken).
}

void TMDIChild::UndoStepTaken() {
    // The step may lead back to the state last saved; text typed into the memo since still
    // counts.
    modified_ = !undoStack_->isClean() || Memo1->document()->isModified();
}

} // namespace qmv
