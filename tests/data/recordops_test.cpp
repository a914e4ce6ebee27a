// Record operations of a document over its data: the clipboard's edge cases as one table, and
// the rebuild of a move checked over every selection and target of a seven-record list.
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

#include "data/recordops.h"

namespace qmv::test {
namespace {

recReadDataSeg Rec(int no) {
    return {std::to_string(no), "0000", "0000", "0000", "50", "9",
            "2011/01/01 00:00", "9",    "9",    "9",    "9",  ""};
}

// A document of count records numbered from first.
DocumentData Doc(int model, int count, int first = 1) {
    DocumentData d;
    d.Model = model;
    d.Memo = {"memo"};
    for (int i = 0; i < count; ++i)
        d.Records.push_back(Rec(first + i));
    return d;
}

std::vector<int> Numbers(const std::vector<recReadDataSeg>& records) {
    std::vector<int> out;
    for (const recReadDataSeg& r : records)
        out.push_back(std::stoi(r.DataNo));
    return out;
}

enum class Op { Copy, Cut, Paste, PasteTwice, Delete, Drop };
using O = RecordEditOutcome;

struct ClipCase {
    const char* name;
    Op op;
    int model, count;          // the document
    std::vector<int> selected; // Paste and Drop use the first, or none
    int clipModel, clipCount;  // the clipboard before, records numbered from 101
    O outcome;
    std::vector<int> after; // record numbers after a change; {} with a count to check size
    int afterCount, afterModel, selectRow, clipAfter, clipModelAfter;
};

const ClipCase ClipCases[] = {
    {"copy with nothing selected empties the clipboard",
     Op::Copy,
     2,
     3,
     {},
     1,
     4,
     O::Unchanged,
     {},
     3,
     2,
     -1,
     0,
     2},
    {"copy takes the selected rows in list order",
     Op::Copy,
     2,
     4,
     {3, 1},
     1,
     0,
     O::Unchanged,
     {},
     4,
     2,
     -1,
     2,
     2},
    {"cut of every record leaves an empty model-0 document",
     Op::Cut,
     1,
     3,
     {0, 1, 2},
     0,
     0,
     O::Changed,
     {},
     0,
     0,
     -1,
     3,
     1},
    {"cut keeps the rest and selects the first cut position",
     Op::Cut,
     1,
     4,
     {1, 2},
     0,
     0,
     O::Changed,
     {1, 4},
     2,
     1,
     1,
     2,
     1},
    {"cut with nothing selected still counts as a change",
     Op::Cut,
     1,
     2,
     {},
     1,
     5,
     O::Changed,
     {1, 2},
     2,
     1,
     -1,
     0,
     1},
    {"paste into an empty document takes the clipboard's model",
     Op::Paste,
     0,
     0,
     {},
     1,
     3,
     O::Changed,
     {101, 102, 103},
     3,
     1,
     2,
     0,
     1},
    {"paste with no selection appends",
     Op::Paste,
     2,
     3,
     {},
     2,
     2,
     O::Changed,
     {1, 2, 3, 101, 102},
     5,
     2,
     3,
     0,
     2},
    {"paste follows the selected row",
     Op::Paste,
     2,
     3,
     {0},
     2,
     2,
     O::Changed,
     {1, 101, 102, 2, 3},
     5,
     2,
     1,
     0,
     2},
    {"240 and 10 make 250", Op::Paste, 2, 240, {}, 2, 10, O::Changed, {}, 250, 2, 240, 0, 2},
    {"241 and 10 are refused", Op::Paste, 2, 241, {}, 2, 10, O::TooMany, {}, 241, 2, -1, 10, 2},
    {"records of another model are refused",
     Op::Paste,
     2,
     3,
     {},
     1,
     2,
     O::ModelMismatch,
     {},
     3,
     2,
     -1,
     2,
     1},
    {"an empty clipboard pastes nothing, whatever its model",
     Op::Paste,
     2,
     3,
     {},
     1,
     0,
     O::Unchanged,
     {},
     3,
     2,
     -1,
     0,
     1},
    {"a paste uses the clipboard up",
     Op::PasteTwice,
     2,
     1,
     {},
     2,
     1,
     O::Unchanged,
     {1, 101},
     2,
     2,
     1,
     0,
     2},
    {"delete with nothing selected does nothing",
     Op::Delete,
     1,
     3,
     {},
     0,
     0,
     O::Unchanged,
     {},
     3,
     1,
     -1,
     0,
     0},
    {"delete of the last rows selects the new last row",
     Op::Delete,
     1,
     4,
     {2, 3},
     0,
     0,
     O::Changed,
     {1, 2},
     2,
     1,
     1,
     0,
     0},
    {"delete of every record leaves model 0",
     Op::Delete,
     1,
     2,
     {0, 1},
     0,
     0,
     O::Changed,
     {},
     0,
     0,
     -1,
     0,
     0},
    {"a drop from another document follows the target row",
     Op::Drop,
     1,
     3,
     {1},
     1,
     2,
     O::Changed,
     {1, 2, 101, 102, 3},
     5,
     1,
     2,
     0,
     1},
    {"a drop on the chart (no target row) appends",
     Op::Drop,
     1,
     2,
     {},
     1,
     1,
     O::Changed,
     {1, 2, 101},
     3,
     1,
     2,
     0,
     1},
    {"a drop on an empty document takes the model",
     Op::Drop,
     0,
     0,
     {},
     3,
     2,
     O::Changed,
     {101, 102},
     2,
     3,
     0,
     0,
     3},
    {"a drop over 250 is refused", Op::Drop, 1, 249, {}, 1, 2, O::TooMany, {}, 249, 1, -1, 2, 1},
    {"a drop of another model is refused",
     Op::Drop,
     1,
     2,
     {},
     4,
     1,
     O::ModelMismatch,
     {},
     2,
     1,
     -1,
     1,
     4},
};

TEST(RecordOps, ClipboardCases) {
    for (const ClipCase& c : ClipCases) {
        SCOPED_TRACE(c.name);
        const DocumentData doc = Doc(c.model, c.count);
        RecordClipboard clip;
        clip.ClipModel = c.clipModel;
        clip.ClipRecords = Doc(c.clipModel, c.clipCount, 101).Records;
        const int row = c.selected.empty() ? -1 : c.selected.front();
        RecordEdit edit;
        switch (c.op) {
        case Op::Copy:
            CopyRecords(doc, c.selected, clip);
            break;
        case Op::Cut:
            edit = CutRecords(doc, c.selected, clip);
            break;
        case Op::Paste:
            edit = PasteRecords(doc, row, clip);
            break;
        case Op::PasteTwice: {
            const RecordEdit first = PasteRecords(doc, row, clip);
            ASSERT_EQ(first.outcome, O::Changed);
            edit = PasteRecords(first.after, first.selectRow, clip);
            edit.after = first.after; // what the user still sees
            edit.selectRow = first.selectRow;
            break;
        }
        case Op::Delete:
            edit = DeleteRecords(doc, c.selected);
            break;
        case Op::Drop:
            edit = DropRecords(doc, row, clip);
            break;
        }
        EXPECT_EQ(edit.outcome, c.outcome);
        const DocumentData& shown =
            edit.outcome == O::Changed || c.op == Op::PasteTwice ? edit.after : doc;
        EXPECT_EQ(static_cast<int>(shown.Records.size()), c.afterCount);
        if (!c.after.empty()) {
            EXPECT_EQ(Numbers(shown.Records), c.after);
        }
        EXPECT_EQ(shown.Model, c.afterModel);
        EXPECT_EQ(shown.Memo, doc.Memo);
        if (edit.outcome == O::Changed) {
            EXPECT_EQ(edit.selectRow, c.selectRow);
        }
        EXPECT_EQ(clip.ClipCount(), c.clipAfter);
        EXPECT_EQ(clip.ClipModel, c.clipModelAfter);
    }
}

TEST(RecordOps, CopiedRecordsAreWholeAndInListOrder) {
    const DocumentData doc = Doc(2, 4);
    RecordClipboard clip;
    CopyRecords(doc, {3, 1, 3, 9, -1}, clip);
    ASSERT_EQ(clip.ClipCount(), 2);
    EXPECT_EQ(clip.ClipRecords[0], doc.Records[1]);
    EXPECT_EQ(clip.ClipRecords[1], doc.Records[3]);
}

TEST(RecordOps, MoveBranches) {
    const std::vector<recReadDataSeg> seven = Doc(2, 7).Records;
    using V = std::vector<int>;
    // Onto the last row: the rest, then the block.
    EXPECT_EQ(Numbers(MoveRecords(seven, {1, 2}, 6)), V({1, 4, 5, 6, 7, 2, 3}));
    // Moved up, the block lands before the target row; moved down, after it.
    EXPECT_EQ(Numbers(MoveRecords(seven, {3, 4, 5}, 1)), V({1, 4, 5, 6, 2, 3, 7}));
    EXPECT_EQ(Numbers(MoveRecords(seven, {4, 5}, 2)), V({1, 2, 5, 6, 3, 4, 7}));
    EXPECT_EQ(Numbers(MoveRecords(seven, {0}, 3)), V({2, 3, 4, 1, 5, 6, 7}));
    // Dropped inside itself, the block stays.
    EXPECT_EQ(Numbers(MoveRecords(seven, {1, 2, 3, 4, 5}, 4)), V({1, 2, 3, 4, 5, 6, 7}));

    // Dropped on the first selected row: nothing changes; elsewhere the target is selected.
    const DocumentData doc = Doc(2, 7);
    EXPECT_EQ(MoveRecordsTo(doc, {2, 4}, 2).outcome, O::Unchanged);
    const RecordEdit moved = MoveRecordsTo(doc, {2, 4}, -1); // below the last row
    ASSERT_EQ(moved.outcome, O::Changed);
    EXPECT_EQ(Numbers(moved.after.Records), V({1, 2, 4, 6, 7, 3, 5}));
    EXPECT_EQ(moved.selectRow, 6);
}

TEST(RecordOps, AMoveNeverLosesOrDoublesARecord) {
    const std::vector<recReadDataSeg> seven = Doc(2, 7).Records;
    for (int mask = 1; mask < (1 << 7); ++mask) {
        std::vector<int> selected;
        std::vector<int> block, rest;
        for (int i = 0; i < 7; ++i) {
            if (mask & (1 << i)) {
                selected.push_back(i);
                block.push_back(i + 1);
            } else {
                rest.push_back(i + 1);
            }
        }
        for (int target = 0; target < 7; ++target) {
            SCOPED_TRACE("selection " + std::to_string(mask) + " target " + std::to_string(target));
            const std::vector<int> got = Numbers(MoveRecords(seven, selected, target));
            ASSERT_EQ(got.size(), 7u);
            EXPECT_EQ(std::set<int>(got.begin(), got.end()).size(), 7u);
            // The block stays whole and in order; the rest keeps its order around it.
            const auto at = std::search(got.begin(), got.end(), block.begin(), block.end());
            ASSERT_NE(at, got.end());
            std::vector<int> without(got.begin(), at);
            without.insert(without.end(), at + block.size(), got.end());
            EXPECT_EQ(without, rest);
            // It lands where it was dropped: at the target row moving up, just after it moving
            // down.
            const int first = selected.front();
            if (target < first) {
                EXPECT_EQ(at - got.begin(), target);
            } else if (target > first && !(mask & (1 << target))) {
                EXPECT_EQ(*(at - 1), target + 1);
            }
        }
    }
}

} // namespace
} // namespace qmv::test
