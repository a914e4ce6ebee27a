// Undo steps of a document window: every change of its records or memo is one step that holds the
// document as it was before and after, so undoing restores it exactly.
#pragma once

#include <QUndoCommand>

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
    DocumentChangeCommand(TMDIChild& doc, const QString& text, DocumentState before,
                          DocumentState after);
    void undo() override;
    void redo() override;

private:
    TMDIChild& doc_;
    DocumentState before_;
    DocumentState after_;
    // A step of the records only leaves the memo alone, so that text typed since stays.
    bool memoChanged_;
};

} // namespace qmv

namespace qmv {

// The name of an undo step: a command's caption (section "Main") without its access-key marks
// and trailing dots, so that "Undo" plus it reads as one menu entry.
QString UndoStepName(const char* mainKey);

} // namespace qmv
