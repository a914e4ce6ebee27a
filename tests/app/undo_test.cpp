// Undo and redo: every change of a document is one step that restores the document exactly as a
// save would write it; undoing back to the saved state clears Modified.
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTextCursor>
#include <QUndoGroup>
#include <QUndoStack>

#include <functional>
#include <utility>

#include "apptest.h"

namespace qmv::test {
namespace {

class UndoTest : public AppTest {
protected:
    TMDIChild* Open(const DocumentData& d, const QString& name = "u.q27") {
        Form().OpenDroppedFiles({WriteDoc(name, d)});
        return form_->ActiveDocument();
    }

    // The document as SaveToFile would write it.
    static std::string Bytes(TMDIChild* doc) {
        std::string out;
        EXPECT_TRUE(FormatDataFile(doc->Data(), VersionText(), out));
        return out;
    }
};

TEST_F(UndoTest, SortUndoneAndRedoneRestoresTheFileBytesAndModified) {
    TMDIChild* doc = Open(LoggerDoc({"300", "100", "200"}));
    const std::string saved = Bytes(doc);
    EXPECT_FALSE(form_->Command("AcUndo")->isEnabled());
    EXPECT_FALSE(form_->Command("AcRedo")->isEnabled());

    doc->SelectRow(1);
    form_->Command("AcdBSort")->trigger();
    const std::string sorted = Bytes(doc);
    ASSERT_NE(sorted, saved);
    EXPECT_TRUE(doc->Modified());
    EXPECT_TRUE(form_->Command("AcUndo")->isEnabled());
    EXPECT_EQ(form_->Command("AcUndo")->text(), "Undo Sort");

    form_->Command("AcUndo")->trigger();
    EXPECT_EQ(Bytes(doc), saved);
    EXPECT_FALSE(doc->Modified()); // back at the state on disk
    EXPECT_EQ(doc->SortMode(), 0);
    EXPECT_EQ(doc->SelectedIndex(), 1);
    EXPECT_EQ(doc->Info->topLevelItem(0)->text(2), "300"); // the list shows it too
    EXPECT_EQ(form_->Command("AcRedo")->text(), "Redo Sort");

    form_->Command("AcRedo")->trigger();
    EXPECT_EQ(Bytes(doc), sorted);
    EXPECT_TRUE(doc->Modified());
    EXPECT_EQ(doc->SortMode(), 3);
    // The same key again reverses, as it would have without the undo.
    form_->Command("AcdBSort")->trigger();
    EXPECT_EQ(doc->SortMode(), -3);
}

TEST_F(UndoTest, UndoAndRedoAroundTheSavedState) {
    TMDIChild* doc = Open(LoggerDoc({"300", "100"}));
    form_->Command("AcdBSort")->trigger();
    const std::string sorted = Bytes(doc);
    dialogs_.saveAnswers.push_back(Path("saved.q27"));
    form_->Command("AcSaveAs")->trigger();
    EXPECT_FALSE(doc->Modified());
    form_->Command("AcUndo")->trigger();
    EXPECT_TRUE(doc->Modified()); // the file holds the sorted order
    form_->Command("AcRedo")->trigger();
    EXPECT_FALSE(doc->Modified());
    EXPECT_EQ(Bytes(doc), sorted);
    // Undo takes back what its step changed, not the line/bar switch thrown since.
    form_->Command("AcGraphChange")->trigger();
    form_->Command("AcUndo")->trigger();
    EXPECT_TRUE(doc->BarGraph());
}

TEST_F(UndoTest, TitlesMarkUnsavedChangesAndANeverSavedDocumentKeepsTheMark) {
    Open(LoggerDoc({"300", "100"}));
    const std::pair<const char*, bool> steps[] = {
        {"AcdBSort", true},    {"AcUndo", false},    {"AcRedo", true},      {"AcSave", false},
        {"AcDataCopy", false}, {"AcNewFile", false}, {"AcDataPaste", true}, {"AcUndo", true}};
    for (const auto& [command, marked] : steps) {
        form_->Command(command)->trigger();
        form_->UpdateCommandStates();
        EXPECT_EQ(form_->ActiveDocument()->parentWidget()->isWindowModified(), marked) << command;
        EXPECT_EQ(form_->isWindowModified(), marked) << command;
    }
}

TEST_F(UndoTest, ModelAndMemoComeBackAndTypedMemoTextStays) {
    TMDIChild* doc = Open(LoggerDoc({"300", "100"}));
    doc->SetMemoLines({"first"});
    const std::string before = Bytes(doc);

    DocumentData after; // everything taken away, as deleting the last record does
    after.Memo = {"changed"};
    doc->ApplyChange("Delete", after, -1);
    EXPECT_EQ(doc->Model(), ModelNone);
    EXPECT_TRUE(doc->ListView1->isHidden());
    EXPECT_EQ(doc->Memo1->toPlainText(), "changed");
    form_->Command("AcUndo")->trigger();
    EXPECT_EQ(Bytes(doc), before);
    EXPECT_FALSE(doc->ListView1->isHidden());
    EXPECT_EQ(doc->Memo1->toPlainText(), "first");

    // A step of the records alone keeps what the user has typed into the memo since.
    doc->Memo1->document()->setModified(true);
    doc->Memo1->setPlainText("typed");
    doc->Memo1->document()->setModified(true);
    form_->Command("AcNoSort")->trigger();
    form_->Command("AcUndo")->trigger();
    EXPECT_EQ(doc->Memo1->toPlainText(), "typed");
    EXPECT_TRUE(doc->Modified());
}

TEST_F(UndoTest, MemoTypingIsAStepOfTheDocumentThatCtrlZInTheMemoTakesBack) {
    DocumentData d = LoggerDoc({"300", "100"});
    // Bytes the code page cannot show: a line nobody typed into is written back as it was.
    d.Memo = {"first", "caf\x81\xA0", "end"};
    TMDIChild* doc = Open(d);
    const std::string saved = Bytes(doc);
    form_->activateWindow(); // shortcuts reach an active window only
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    doc->Memo1->setFocus();
    doc->Memo1->moveCursor(QTextCursor::End);
    QTest::keyClicks(doc->Memo1, "ab");
    QTest::keyClick(doc->Memo1, Qt::Key_Backspace);
    doc->Memo1->moveCursor(QTextCursor::Start);
    QTest::keyClicks(doc->Memo1, "X");
    EXPECT_TRUE(doc->Modified());
    EXPECT_EQ(doc->Data().Memo, std::vector<std::string>({"Xfirst", "caf\x81\xA0", "enda"}));
    EXPECT_EQ(form_->Command("AcUndo")->text(), "Undo Typing");
    form_->Command("AcdBSort")->trigger(); // a step of the records in between

    // Ctrl+Z pressed in the memo reaches the document's steps, newest first.
    QTest::keyClick(doc->Memo1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(doc->SortMode(), 0);
    EXPECT_TRUE(doc->Memo1->toPlainText().startsWith("X"));
    QTest::keyClick(doc->Memo1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_FALSE(doc->Memo1->toPlainText().startsWith("X")); // typing elsewhere is its own step
    EXPECT_TRUE(doc->Memo1->toPlainText().endsWith("a"));
    QTest::keyClick(doc->Memo1, Qt::Key_Z, Qt::ControlModifier); // "ab" and Backspace: one step
    EXPECT_EQ(Bytes(doc), saved);
    EXPECT_FALSE(doc->Modified());
    EXPECT_FALSE(form_->Command("AcUndo")->isEnabled());

    QTest::keyClick(doc->Memo1, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_TRUE(doc->Memo1->toPlainText().endsWith("a"));
    EXPECT_TRUE(doc->Modified());
    // Typing after an undo drops the steps that could have been redone.
    QTest::keyClicks(doc->Memo1, "z");
    EXPECT_FALSE(form_->Command("AcRedo")->isEnabled());
}

// Lines whose text ends as it was keep their bytes: Backspace at the start of a line and Enter
// again (which the history drops as no step at all), or the whole memo cut and pasted back.
TEST_F(UndoTest, MemoLinesWhoseTextComesBackKeepTheirBytes) {
    const std::pair<const char*, std::function<void(QPlainTextEdit*)>> edits[] = {
        {"join.q27",
         [](QPlainTextEdit* memo) {
             QTextCursor cursor = memo->textCursor();
             cursor.setPosition(static_cast<int>(memo->toPlainText().indexOf('\n')) + 1);
             memo->setTextCursor(cursor);
             QTest::keyClick(memo, Qt::Key_Backspace);
             QTest::keyClick(memo, Qt::Key_Return);
         }},
        {"cut.q27",
         [](QPlainTextEdit* memo) {
             memo->selectAll();
             memo->cut();
             memo->paste();
         }},
    };
    for (const auto& [name, edit] : edits) {
        DocumentData d = LoggerDoc({"300", "100"});
        d.Memo = {"caf\x81\xA0", "end"};
        TMDIChild* doc = Open(d, name);
        doc->Memo1->setFocus();
        doc->Memo1->moveCursor(QTextCursor::End);
        QTest::keyClicks(doc->Memo1, "X");
        const QString text = doc->Memo1->toPlainText();
        edit(doc->Memo1);
        ASSERT_EQ(doc->Memo1->toPlainText(), text) << name;
        EXPECT_EQ(doc->Data().Memo, std::vector<std::string>({"caf\x81\xA0", "endX"})) << name;
    }
}

TEST_F(UndoTest, AChangeTheListCannotShowIsRefusedBeforeAnythingChanges) {
    TMDIChild* doc = Open(LoggerDoc({"300", "100"}));
    const std::string before = Bytes(doc);
    DocumentData bad = doc->Data();
    bad.Records[1].MinDb = "x";
    EXPECT_THROW(doc->ApplyChange("Edit", bad, 1), EConvertError);
    EXPECT_EQ(Bytes(doc), before);
    EXPECT_EQ(doc->UndoStack()->count(), 0);
    EXPECT_FALSE(doc->Modified());
}

TEST_F(UndoTest, EachDocumentHasItsOwnStepsAndTheUsualKeys) {
    TMDIChild* first = Open(LoggerDoc({"300", "100"}), "a.q27");
    form_->OpenDroppedFiles({WriteDoc("b.q27", LoggerDoc({"200", "100"}))});
    TMDIChild* second = form_->ActiveDocument();
    ASSERT_NE(first, second);
    form_->Command("AcdBSort")->trigger();
    form_->ActivateDocument(first);
    EXPECT_FALSE(form_->Command("AcUndo")->isEnabled()); // the sort belongs to the other one
    form_->ActivateDocument(second);
    EXPECT_TRUE(form_->Command("AcUndo")->isEnabled());

    EXPECT_EQ(form_->Command("AcUndo")->shortcut(), QKeySequence("Ctrl+Z"));
    EXPECT_EQ(form_->Command("AcRedo")->shortcuts(),
              QList<QKeySequence>({QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")}));

    AnswerClose(TCloseDlg::NoSaveAnswer);
    form_->CloseDocument(second);
    EXPECT_EQ(form_->UndoGroup()->activeStack(), first->UndoStack());
    form_->CloseDocument(first);
    EXPECT_FALSE(form_->Command("AcUndo")->isEnabled());
}

TEST_F(UndoTest, CaptionsComeFromTheLanguageFile) {
    MainFormOptions o = Options();
    o.languageFile = Path("missing.Lib");
    form_ = std::make_unique<TMainForm>(o);
    form_->show();
    form_->OpenDroppedFiles({WriteDoc("c.q27", LoggerDoc({"300", "100"}))});
    form_->Command("AcdBSort")->trigger();
    EXPECT_EQ(form_->Command("AcUndo")->text(), "");
    EXPECT_EQ(form_->Command("AcRedo")->text(), "");
}

} // namespace
} // namespace qmv::test
