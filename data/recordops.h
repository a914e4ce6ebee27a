// The record operations of a document window as functions over its data: copy, cut, paste,
// delete and the two kinds of drop (a copy from another document, a move within one). The window
// collects the selection, shows the messages the outcome asks for and applies the result.
#pragma once

#include <vector>

#include "datafile.h"

namespace qmv {

// The main window's record clipboard, shared by every document; a drag carries its records here.
struct RecordClipboard {
    std::vector<recReadDataSeg> ClipRecords; // ClipCount is its size, at most MaxRecords
    int ClipModel = ModelNone;
    int DragSourceTag = -1; // the document a running drag started in; -1: none

    int ClipCount() const { return static_cast<int>(ClipRecords.size()); }
};

enum class RecordEditOutcome {
    Changed,       // apply after and refresh selecting selectRow
    Unchanged,     // nothing to do
    ModelMismatch, // records of another model: MsgModErr0 / MsgModErr1, nothing changed
    TooMany,       // more than MaxRecords would result: MsgDataOver0 / MsgDataOver1
};

struct RecordEdit {
    RecordEditOutcome outcome = RecordEditOutcome::Unchanged;
    DocumentData after;
    int selectRow = -1;
};

// Rows are indexes into doc.Records; selected rows come in any order and those out of range are
// ignored.

// The selected records onto the clipboard, in list order (none selected empties it).
void CopyRecords(const DocumentData& doc, const std::vector<int>& selected, RecordClipboard& clip);

// The selected records onto the clipboard and out of the document. Always Changed, also with
// nothing selected; a document left empty has model 0.
RecordEdit CutRecords(const DocumentData& doc, const std::vector<int>& selected,
                      RecordClipboard& clip);

// The clipboard's records after selectedRow (-1: after the last row); an empty document takes
// the clipboard's model. A paste uses the clipboard up.
RecordEdit PasteRecords(const DocumentData& doc, int selectedRow, RecordClipboard& clip);

// The selected records removed (Unchanged with nothing selected); asking first is the caller's.
RecordEdit DeleteRecords(const DocumentData& doc, const std::vector<int>& selected);

// A drop of a drag from another document: the clipboard's records after targetRow (-1: after
// the last row). Uses the clipboard up.
RecordEdit DropRecords(const DocumentData& doc, int targetRow, RecordClipboard& clip);

// A drag within one document dropped on its list: the selected records as one block moved to
// the target row. Unchanged when the order would stay as it is.
RecordEdit MoveRecordsTo(const DocumentData& doc, const std::vector<int>& selected, int targetRow);

// The rebuild of a move: the selected records S as one block among the unselected ones U, both
// in list order. A block moved up lands before the target row, one moved down after it; a target
// at or past the last row puts it at the end. No record is ever lost or doubled.
std::vector<recReadDataSeg> MoveRecords(const std::vector<recReadDataSeg>& records,
                                        const std::vector<int>& selected, int target);

} // namespace qmv
