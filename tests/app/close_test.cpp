// The save prompt of a closing document and of the closing program.
#include "apptest.h"

namespace qmv::test {
namespace {

class CloseTest : public AppTest {
protected:
    TMDIChild* OpenChanged(const QString& name, const std::vector<std::string>& levels) {
        form_->OpenDroppedFiles({WriteDoc(name, LoggerDoc(levels))});
        TMDIChild* doc = form_->ActiveDocument();
        doc->SetModified(true);
        return doc;
    }
};

TEST_F(CloseTest, NothingToLoseClosesWithoutAsking) {
    TMainForm& form = Form();
    AnswerClose(TCloseDlg::CancelAnswer);
    form.Command("AcNewFile")->trigger();
    EXPECT_TRUE(form.CloseDocument(form.ActiveDocument())); // empty and unchanged
    form.OpenDroppedFiles({WriteDoc("u.q27", LoggerDoc({"100"}))});
    EXPECT_TRUE(form.CloseDocument(form.ActiveDocument())); // records, but unchanged
    form.Command("AcNewFile")->trigger();
    form.ActiveDocument()->SetModified(true); // changed, but everything was deleted
    EXPECT_TRUE(form.CloseDocument(form.ActiveDocument()));
    EXPECT_TRUE(closeLabels_.empty());
    EXPECT_TRUE(form.Documents().empty());
}

TEST_F(CloseTest, MemoOnlyDocumentAsks) {
    TMainForm& form = Form();
    AnswerClose(TCloseDlg::CancelAnswer);
    form.Command("AcNewFile")->trigger();
    TMDIChild* doc = form.ActiveDocument();
    doc->Memo1->document()->setModified(true);
    doc->Memo1->insertPlainText("only a memo");
    EXPECT_FALSE(form.CloseDocument(doc));
    ASSERT_EQ(closeLabels_.size(), 1u);
    EXPECT_EQ(closeLabels_[0], "\"Untitled 1\"");
    EXPECT_EQ(closeMessages_[0], "This document has not been saved yet.");
    EXPECT_FALSE(allSaveEnabled_[0]); // the only document
    EXPECT_EQ(form.CloseDialog().windowTitle(), "Close Document");
    EXPECT_EQ(form.CloseDialog().btnNoSave->text(), "Don't Save");
    EXPECT_EQ(form.CloseDialog().btnCancel->text(), "Cancel");
}

TEST_F(CloseTest, DoNotSaveClosesAndDisablesTheCommands) {
    TMainForm& form = Form();
    OpenChanged("n.q27", {"100"});
    AnswerClose(TCloseDlg::NoSaveAnswer);
    form.Command("AcFileClose")->trigger();
    EXPECT_TRUE(form.Documents().empty());
    EXPECT_EQ(closeMessages_[0], "This document has been changed.");
    EXPECT_FALSE(form.Command("AcSave")->isEnabled());
    DocumentData back;
    ASSERT_EQ(LoadDataFile(Path("n.q27").toStdString(), back).status, LoadStatus::Ok);
    EXPECT_EQ(back.Records.size(), 1u);
}

TEST_F(CloseTest, SaveShowsTheFilesPathAndWrites) {
    TMainForm& form = Form();
    TMDIChild* doc = OpenChanged("s.q27", {"100"});
    doc->SetRecords(LoggerDoc({"100", "200", "300"}).Records, ModelQMV27);
    AnswerClose(TCloseDlg::SaveAnswer);
    dialogs_.saveAnswers.push_back(Path("s.q27"));
    EXPECT_TRUE(form.CloseDocument(doc));
    ASSERT_EQ(dialogs_.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs_.saveRequests[0].fileName, Path("s.q27"));
    EXPECT_EQ(dialogs_.saveRequests[0].filter, SaveFilter);
    DocumentData back;
    ASSERT_EQ(LoadDataFile(Path("s.q27").toStdString(), back).status, LoadStatus::Ok);
    EXPECT_EQ(back.Records.size(), 3u);
}

TEST_F(CloseTest, SaveOfANewDocumentStartsInTheDataFolder) {
    TMainForm& form = Form();
    form.Command("AcNewFile")->trigger();
    TMDIChild* doc = form.ActiveDocument();
    doc->SetRecords(LoggerDoc({"100"}).Records, ModelQMV27);
    doc->RefreshAfterChange(0);
    AnswerClose(TCloseDlg::SaveAnswer);
    // Cancelling the save dialog keeps the document open.
    EXPECT_FALSE(form.CloseDocument(doc));
    ASSERT_EQ(dialogs_.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs_.saveRequests[0].folder, DataFolderPath());
    EXPECT_EQ(dialogs_.saveRequests[0].fileName, "Untitled 1");
    EXPECT_EQ(form.Documents().size(), 1u);
    EXPECT_TRUE(doc->Modified());
}

TEST_F(CloseTest, SaveAllSavesEveryChangedDocumentAndCloses) {
    TMainForm& form = Form();
    OpenChanged("a.q27", {"100"});
    OpenChanged("b.q27", {"200"});
    AnswerClose(TCloseDlg::AllSaveAnswer);
    form.Command("AcFileClose")->trigger();
    ASSERT_EQ(allSaveEnabled_.size(), 1u);
    EXPECT_TRUE(allSaveEnabled_[0]); // two documents
    EXPECT_EQ(QDir(DataFolderPath()).entryList(QDir::Files).size(), 2);
    ASSERT_EQ(form.Documents().size(), 1u);
    EXPECT_FALSE(form.Documents()[0]->Modified());
}

TEST_F(CloseTest, SaveAllDoesNotCloseAMemoItCouldNotSave) {
    TMainForm& form = Form();
    OpenChanged("a.q27", {"100"});
    form.Command("AcNewFile")->trigger();
    TMDIChild* memoOnly = form.ActiveDocument();
    memoOnly->Memo1->document()->setModified(true);
    memoOnly->Memo1->insertPlainText("notes");
    AnswerClose(TCloseDlg::AllSaveAnswer);
    EXPECT_FALSE(form.CloseDocument(memoOnly)); // Save All skips documents without records
    EXPECT_EQ(form.Documents().size(), 2u);
}

TEST_F(CloseTest, CancelStopsCloseAllAtThatDocument) {
    TMainForm& form = Form();
    form.Command("AcNewFile")->trigger(); // closes silently
    TMDIChild* changed = OpenChanged("c.q27", {"100"});
    form.Command("AcNewFile")->trigger(); // first in the frame's order
    AnswerClose(TCloseDlg::CancelAnswer);
    std::vector<QString> order;
    for (TMDIChild* d : form.Documents())
        order.push_back(d->Caption());
    EXPECT_EQ(order, (std::vector<QString>{"Untitled 2", "c.q27", "Untitled 1"}));
    form.Command("AcAllClose")->trigger();
    ASSERT_EQ(form.Documents().size(), 2u);
    EXPECT_EQ(form.Documents().front(), changed);
    EXPECT_EQ(closeLabels_.size(), 1u);
}

TEST_F(CloseTest, ClosingTheProgramAsksEveryDocument) {
    TMainForm& form = Form();
    OpenChanged("a.q27", {"100"});
    OpenChanged("b.q27", {"200"});
    AnswerClose(TCloseDlg::CancelAnswer);
    EXPECT_FALSE(form.close());
    EXPECT_EQ(form.Documents().size(), 2u);
    EXPECT_FALSE(Store()->contains("System/WindowSt")); // nothing written while refused

    AnswerClose(TCloseDlg::NoSaveAnswer);
    EXPECT_TRUE(form.close());
    EXPECT_EQ(closeLabels_.size(), 3u);
    EXPECT_TRUE(Store()->contains("System/WindowSt"));
}

} // namespace
} // namespace qmv::test
