// The document window's changes of records and memo: each one an undo step.
#include <QPlainTextEdit>
#include <QUndoStack>
#include <stdexcept>
#include <string>

#include "mdichild.h"
#include "ui/platformdialogs.h"
#include "ui/uitext.h"
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
    // Every operation checks the limit first; a change past it is refused whole, never cut.
    if (next.data.Records.size() > static_cast<std::size_t>(MaxRecords))
        throw std::length_error("more than " + std::to_string(MaxRecords) + " records");
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
    // The step may lead back to the state last saved.
    modified_ = !undoStack_->isClean();
}

} // namespace qmv

namespace qmv {

void TMDIChild::ApplyEdit(const char* undoKey, const RecordEdit& edit) {
    switch (edit.outcome) {
    case RecordEditOutcome::Changed:
        ApplyChange(UndoStepName(undoKey), edit.after, edit.selectRow);
        break;
    case RecordEditOutcome::ModelMismatch:
        Dialogs().Message(this, Tx2("Msg", "MsgModErr0", "Msg", "MsgModErr1"), MessageKind::Warning,
                          MessageButtons::Ok);
        break;
    case RecordEditOutcome::TooMany:
        Dialogs().Message(this, Tx2("Msg", "MsgDataOver0", "Msg", "MsgDataOver1"),
                          MessageKind::Confirmation, MessageButtons::Ok);
        break;
    case RecordEditOutcome::Unchanged:
        break;
    }
}

void TMDIChild::CopyRecords() {
    qmv::CopyRecords(Data(), SelectedIndexes(), host_.Clipboard());
}

void TMDIChild::CutRecords() {
    ApplyEdit("MenuE1", qmv::CutRecords(Data(), SelectedIndexes(), host_.Clipboard()));
}

void TMDIChild::PasteRecords() {
    ApplyEdit("MenuE3", qmv::PasteRecords(Data(), SelectedIndex(), host_.Clipboard()));
}

void TMDIChild::DeleteRecords() {
    if (SelectedIndex() < 0)
        return;
    if (Dialogs().Message(this, Tx("Msg", "MsgDel"), MessageKind::Confirmation,
                          MessageButtons::OkCancel) != IdOk)
        return;
    ApplyEdit("MenuE4", qmv::DeleteRecords(Data(), SelectedIndexes()));
}

void TMDIChild::DropRecords(int target) {
    ApplyEdit("MenuE14", qmv::DropRecords(Data(), target, host_.Clipboard()));
}

void TMDIChild::MoveRecords(const std::vector<int>& rows, int target) {
    ApplyEdit("MenuE15", MoveRecordsTo(Data(), rows, target));
}

} // namespace qmv
