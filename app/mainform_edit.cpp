// The main window's Edit commands that change records: the record clipboard and undo.
#include <QAction>
#include <QKeySequence>
#include <QUndoGroup>

#include "document/mdichild.h"
#include "mainform.h"
#include "ui/uitext.h"

namespace qmv {

void TMainForm::SetUpUndo() {
    undoGroup_ = new QUndoGroup(this);
    // Ctrl+Y, and Ctrl+Shift+Z as desktops of other systems know it.
    Command("AcRedo")->setShortcuts({ShortCutKey(16473), ShortCutKey(24666)});
    connect(undoGroup_, &QUndoGroup::canUndoChanged, this, [this] { UpdateUndoCommands(); });
    connect(undoGroup_, &QUndoGroup::canRedoChanged, this, [this] { UpdateUndoCommands(); });
    connect(undoGroup_, &QUndoGroup::undoTextChanged, this, [this] { UpdateUndoCommands(); });
    connect(undoGroup_, &QUndoGroup::redoTextChanged, this, [this] { UpdateUndoCommands(); });
    UpdateUndoCommands();
}

void TMainForm::SetUpRecordKeys() {
    // The desktop's keys for cut, copy, paste and delete act on records only while a record list
    // has the focus (each document adds these commands to its list); anywhere else, in the memo
    // above all, the same keys keep editing text. The menus show the keys all the same.
    const std::pair<const char*, QKeySequence::StandardKey> keys[] = {
        {"AcDataCut", QKeySequence::Cut},
        {"AcDataCopy", QKeySequence::Copy},
        {"AcDataPaste", QKeySequence::Paste},
        {"AcDeleteItem", QKeySequence::Delete}};
    for (const auto& [name, key] : keys) {
        QAction* action = Command(name);
        action->setShortcuts(key);
        action->setShortcutContext(Qt::WidgetShortcut);
    }
}

void TMainForm::UpdateUndoCommands() {
    // "Undo" and the step's name; a language file without the key shows an empty caption, as
    // for every other text.
    const auto caption = [](const char* key, const QString& step) {
        const QString prefix = Tx("Main", key);
        return prefix.isEmpty() || step.isEmpty() ? prefix : prefix + QLatin1Char(' ') + step;
    };
    QAction* undo = Command("AcUndo");
    QAction* redo = Command("AcRedo");
    undo->setEnabled(undoGroup_->canUndo());
    redo->setEnabled(undoGroup_->canRedo());
    undo->setText(caption("MenuE12", undoGroup_->undoText()));
    redo->setText(caption("MenuE13", undoGroup_->redoText()));
}

void TMainForm::AcUndoExecute() {
    undoGroup_->undo();
}

void TMainForm::AcRedoExecute() {
    undoGroup_->redo();
}

} // namespace qmv

namespace qmv {

void TMainForm::AcDataCutExecute() {
    if (TMDIChild* doc = ActiveDocument())
        doc->CutRecords();
}

void TMainForm::AcDataCopyExecute() {
    if (TMDIChild* doc = ActiveDocument())
        doc->CopyRecords();
}

void TMainForm::AcDataPasteExecute() {
    if (TMDIChild* doc = ActiveDocument())
        doc->PasteRecords();
}

void TMainForm::AcDeleteItemExecute() {
    if (TMDIChild* doc = ActiveDocument())
        doc->DeleteRecords();
}

} // namespace qmv

namespace qmv {

void TMainForm::SortActive(int key) {
    if (TMDIChild* doc = ActiveDocument())
        doc->SortRecords(key);
}

void TMainForm::AcNoSortExecute() {
    SortActive(1);
}

void TMainForm::AcdBSortExecute() {
    SortActive(2);
}

void TMainForm::AcDateSortExecute() {
    SortActive(3);
}

void TMainForm::AcNoteSortExecute() {
    SortActive(4);
}

} // namespace qmv
