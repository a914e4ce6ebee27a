// The document window's changes of records and memo: each one an undo step.
#include <QPlainTextEdit>
#include <QUndoStack>
#include <memory>
#include <stdexcept>
#include <string>

#include "mdichild.h"
#include "recoverykeeper.h"
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
    // A step that changes nothing is no step: it would make undo and Modified disagree.
    if (before.data == next.data && sortMode == sortMode_) {
        if (selectRow >= 0)
            SelectRow(selectRow);
        return;
    }
    auto step = std::make_unique<DocumentChangeCommand>(*this, undoText, before, std::move(next));
    const bool wasModified = modified_;
    try {
        undoStack_->push(step.get());
        step.release(); // the stack owns it now
    } catch (...) {
        // The refresh failed half-way: the document goes back to what it was, so that it never
        // differs from what Modified and the undo history say.
        RestoreState(before, step->Parts());
        MarkModified(wasModified);
        throw;
    }
}

void TMDIChild::RestoreState(const DocumentState& state, unsigned parts) {
    const bool modelChanged = state.data.Model != data_.Model;
    // What the step did not change stays as it is now: the memo typed since, the line/bar switch.
    data_.Records = state.data.Records;
    data_.Model = state.data.Model;
    if (parts & DocumentChangeCommand::ChartRange) {
        data_.AxisMax = state.data.AxisMax;
        data_.AxisMin = state.data.AxisMin;
        data_.StdLevel = state.data.StdLevel;
    }
    if (parts & DocumentChangeCommand::ChartStyle)
        data_.BarGraph = state.data.BarGraph;
    sortMode_ = state.sortMode;
    if (parts & DocumentChangeCommand::Memo)
        SetMemoLines(state.data.Memo);
    if (modelChanged)
        LayoutPanes(data_.Model);
    RefreshAfterChange(state.row);
    // Modified follows once the stack has moved (UndoStepTaken).
}

void TMDIChild::UndoStepTaken() {
    // The step may lead back to the state last saved; a document that was never saved has no
    // such state, however far it is undone.
    MarkModified(IsNewDocument() || !undoStack_->isClean());
    recovery_->Changed();
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

template <typename Op> void TMDIChild::EditWithClipboard(const char* undoKey, Op op) {
    RecordClipboard& clip = host_.Clipboard();
    const RecordClipboard kept = clip;
    try {
        ApplyEdit(undoKey, op(clip));
    } catch (...) {
        clip = kept;
        throw;
    }
}

void TMDIChild::CutRecords() {
    EditWithClipboard("MenuE1", [&](RecordClipboard& clip) {
        return qmv::CutRecords(Data(), SelectedIndexes(), clip);
    });
}

void TMDIChild::PasteRecords() {
    EditWithClipboard("MenuE3", [&](RecordClipboard& clip) {
        return qmv::PasteRecords(Data(), SelectedIndex(), clip);
    });
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
    EditWithClipboard(
        "MenuE14", [&](RecordClipboard& clip) { return qmv::DropRecords(Data(), target, clip); });
}

void TMDIChild::MoveRecords(const std::vector<int>& rows, int target) {
    ApplyEdit("MenuE15", MoveRecordsTo(Data(), rows, target));
}

} // namespace qmv
