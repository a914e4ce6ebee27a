// Undo steps of a document window: every change of its records or memo is one step that holds the
// document as it was before and after, so undoing restores it exactly.
#pragma once

#include <QUndoCommand>
#include <optional>

#include "data/datafile.h"

namespace qmv {

class TMDIChild;

// What a step restores: the data the file carries, the sort state and the row to select.
struct DocumentState {
    DocumentData data;
    int sortMode = 0;
    int row = -1;
};

class DocumentChangeCommand : public QUndoCommand {
public:
    // The parts of a document a step restores besides its records and model: only those the
    // step changed, so that undo never takes back what was changed outside the history (the
    // line/bar switch) or since (memo typing).
    enum Part : unsigned { Memo = 1, ChartRange = 2, ChartStyle = 4, Everything = 7 };

    DocumentChangeCommand(TMDIChild& doc, const QString& text, DocumentState before,
                          DocumentState after);
    void undo() override;
    void redo() override;
    unsigned Parts() const { return parts_; }

private:
    TMDIChild& doc_;
    DocumentState before_;
    DocumentState after_;
    unsigned parts_;
};

// The memo as an undo step holds it: the bytes of the file while nobody has typed into it (lines
// the code page cannot show keep them), the text and the bytes of the untouched lines once
// somebody has.
// A memo line as it was set: its bytes and the text the memo showed for them. A line whose text
// is still that text is written back with those bytes.
struct MemoOrigin {
    std::string bytes;
    QString shown;
};
using MemoOrigins = std::vector<std::optional<MemoOrigin>>; // one per memo line

struct MemoState {
    bool untouched = true;
    std::vector<std::string> bytes;
    QString text;
    MemoOrigins lines; // where each line came from
    int cursor = 0;
};

// Typing into the memo. The widget keeps no undo history of its own, so that Edit > Undo and
// Ctrl+Z take memo typing and record changes back in the order they were made. Keys typed one
// after another at the same place merge into one step.
class MemoEditCommand : public QUndoCommand {
public:
    MemoEditCommand(TMDIChild& doc, const QString& text, MemoState before, MemoState after,
                    int position, int removed, int added);
    void undo() override;
    void redo() override;
    int id() const override { return 1; }
    bool mergeWith(const QUndoCommand* other) override;

private:
    TMDIChild& doc_;
    MemoState before_;
    MemoState after_;
    bool pushed_ = false; // the text is in the memo already when the step is pushed
    int position_;        // where the last change of this step happened
    int end_;             // and where it ended
    bool singleKey_;
};

} // namespace qmv

namespace qmv {

// The name of an undo step: a command's caption (section "Main") without its access-key marks
// and trailing dots, so that "Undo" plus it reads as one menu entry.
QString UndoStepName(const char* mainKey);

} // namespace qmv
