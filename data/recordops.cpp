#include "recordops.h"

#include <algorithm>

namespace qmv {

namespace {

// Which rows are selected, as flags over the records.
std::vector<bool> SelectionFlags(std::size_t count, const std::vector<int>& selected) {
    std::vector<bool> flags(count, false);
    for (int row : selected)
        if (row >= 0 && static_cast<std::size_t>(row) < count)
            flags[row] = true;
    return flags;
}

int FirstSelected(const std::vector<bool>& flags) {
    const auto it = std::find(flags.begin(), flags.end(), true);
    return it == flags.end() ? -1 : static_cast<int>(it - flags.begin());
}

// Records split into the selected ones and the rest, both in list order.
void Split(const std::vector<recReadDataSeg>& records, const std::vector<bool>& flags,
           std::vector<recReadDataSeg>& chosen, std::vector<recReadDataSeg>& rest) {
    for (std::size_t i = 0; i < records.size(); ++i)
        (flags[i] ? chosen : rest).push_back(records[i]);
}

// What removing records leaves: model 0 when nothing is left, the row at the first removed one.
RecordEdit Remaining(const DocumentData& doc, std::vector<recReadDataSeg> kept, int first) {
    RecordEdit edit;
    edit.outcome = RecordEditOutcome::Changed;
    edit.after = doc;
    edit.after.Records = std::move(kept);
    const int count = static_cast<int>(edit.after.Records.size());
    if (count == 0)
        edit.after.Model = ModelNone;
    edit.selectRow = std::min(first, count - 1);
    return edit;
}

// The clipboard's records inserted after row (-1 or past the end: after the last row).
// A paste into an empty list selects the last pasted row, a drop the first.
RecordEdit InsertClipboard(const DocumentData& doc, int row, bool emptySelectsLast,
                           RecordClipboard& clip) {
    RecordEdit edit;
    // An empty clipboard has no model to disagree with.
    if (clip.ClipRecords.empty())
        return edit;
    if (clip.ClipModel != doc.Model && doc.Model != ModelNone) {
        edit.outcome = RecordEditOutcome::ModelMismatch;
        return edit;
    }
    const int count = static_cast<int>(doc.Records.size());
    if (count + clip.ClipCount() > MaxRecords) {
        edit.outcome = RecordEditOutcome::TooMany;
        return edit;
    }
    const int p = row < 0 || row >= count ? count - 1 : row;
    edit.outcome = RecordEditOutcome::Changed;
    edit.after = doc;
    edit.after.Records.insert(edit.after.Records.begin() + (p + 1), clip.ClipRecords.begin(),
                              clip.ClipRecords.end());
    if (doc.Model == ModelNone)
        edit.after.Model = clip.ClipModel;
    edit.selectRow = count == 0 && emptySelectsLast ? clip.ClipCount() - 1 : p + 1;
    clip.ClipRecords.clear();
    return edit;
}

} // namespace

void CopyRecords(const DocumentData& doc, const std::vector<int>& selected, RecordClipboard& clip) {
    const std::vector<bool> flags = SelectionFlags(doc.Records.size(), selected);
    std::vector<recReadDataSeg> chosen, rest;
    Split(doc.Records, flags, chosen, rest);
    clip.ClipRecords = std::move(chosen);
    clip.ClipModel = doc.Model;
}

RecordEdit CutRecords(const DocumentData& doc, const std::vector<int>& selected,
                      RecordClipboard& clip) {
    const std::vector<bool> flags = SelectionFlags(doc.Records.size(), selected);
    std::vector<recReadDataSeg> chosen, rest;
    Split(doc.Records, flags, chosen, rest);
    clip.ClipRecords = std::move(chosen);
    clip.ClipModel = doc.Model;
    return Remaining(doc, std::move(rest), FirstSelected(flags));
}

RecordEdit PasteRecords(const DocumentData& doc, int selectedRow, RecordClipboard& clip) {
    return InsertClipboard(doc, selectedRow, true, clip);
}

RecordEdit DeleteRecords(const DocumentData& doc, const std::vector<int>& selected) {
    const std::vector<bool> flags = SelectionFlags(doc.Records.size(), selected);
    const int first = FirstSelected(flags);
    if (first < 0)
        return {};
    std::vector<recReadDataSeg> chosen, rest;
    Split(doc.Records, flags, chosen, rest);
    return Remaining(doc, std::move(rest), first);
}

RecordEdit DropRecords(const DocumentData& doc, int targetRow, RecordClipboard& clip) {
    return InsertClipboard(doc, targetRow, false, clip);
}

RecordEdit MoveRecordsTo(const DocumentData& doc, const std::vector<int>& selected, int targetRow) {
    const int count = static_cast<int>(doc.Records.size());
    const int t = targetRow < 0 || targetRow >= count ? count - 1 : targetRow;
    const int first = FirstSelected(SelectionFlags(doc.Records.size(), selected));
    if (first < 0 || t == first)
        return {};
    RecordEdit edit;
    edit.after = doc;
    edit.after.Records = MoveRecords(doc.Records, selected, t);
    if (edit.after.Records == doc.Records)
        return {};
    edit.outcome = RecordEditOutcome::Changed;
    edit.selectRow = t;
    return edit;
}

std::vector<recReadDataSeg> MoveRecords(const std::vector<recReadDataSeg>& records,
                                        const std::vector<int>& selected, int target) {
    const std::vector<bool> flags = SelectionFlags(records.size(), selected);
    std::vector<recReadDataSeg> block, rest;
    Split(records, flags, block, rest);
    const int count = static_cast<int>(records.size());
    const int first = FirstSelected(flags);
    if (first < 0)
        return records;
    // Where the block goes among the records that stay: before the target row when it moves
    // up, after it when it moves down, so the block lands where it was dropped.
    int at = 0;
    for (int i = 0; i < std::min(target, count); ++i)
        at += !flags[i];
    if (target >= count - 1)
        at = static_cast<int>(rest.size());
    else if (target > first && !flags[target])
        ++at;
    rest.insert(rest.begin() + at, block.begin(), block.end());
    return rest;
}

} // namespace qmv
