// The save prompt of a closing document and of the closing program.
#include <QApplication>
#include <QCloseEvent>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <deque>
#include <functional>

#include "apptest.h"

namespace qmv::test {
namespace {

// Works the real save prompt in its own modal loop: each time it is up, the next action of the
// list; when the list has run out, Cancel, counted as unexpected.
class RealPrompt {
public:
    using Action = std::function<void(TCloseDlg&)>;
    RealPrompt(TCloseDlg& dlg, std::deque<Action> actions)
        : dlg_(dlg), actions_(std::move(actions)) {
        dlg_.SetAnswerHook(nullptr);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start(5);
    }
    int shown = 0;
    int unexpected = 0;

    // Keys go where the keyboard focus of the prompt is.
    static void Press(TCloseDlg& dlg, int key) {
        QWidget* target = QApplication::focusWidget();
        if (!target || target->window() != &dlg)
            target = dlg.focusWidget() ? dlg.focusWidget() : &dlg;
        QTest::keyClick(target, static_cast<Qt::Key>(key));
    }

private:
    void Poll() {
        if (!dlg_.isVisible())
            return;
        if (actions_.empty()) {
            ++unexpected;
            dlg_.done(TCloseDlg::CancelAnswer);
            return;
        }
        ++shown;
        const Action action = actions_.front();
        actions_.pop_front();
        action(dlg_);
    }
    TCloseDlg& dlg_;
    std::deque<Action> actions_;
    QTimer timer_;
};

// A closed main window must not make the application quit while the case still runs.
struct KeepRunning {
    KeepRunning() { QApplication::setQuitOnLastWindowClosed(false); }
    ~KeepRunning() { QApplication::setQuitOnLastWindowClosed(true); }
};

class CloseTest : public AppTest {
protected:
    TMDIChild* OpenChanged(const QString& name, const std::vector<std::string>& levels) {
        form_->OpenDroppedFiles({WriteDoc(name, LoggerDoc(levels))});
        TMDIChild* doc = form_->ActiveDocument();
        doc->SetModified(true);
        return doc;
    }
};

TEST_F(CloseTest, TheSavePromptMinimisedByTheWindowManagerComesBack) {
    TCloseDlg& dlg = Form().CloseDialog();
    dlg.showMinimized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dlg.isMinimized(); }));
}

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

TEST_F(CloseTest, EscapeOrTheCloseBoxOfThePromptCancels) {
    TMainForm& form = Form();
    KeepRunning keep;
    QPointer<TMDIChild> doc = OpenChanged("e.q27", {"100"});
    RealPrompt prompt(form.CloseDialog(),
                      {[](TCloseDlg& d) { RealPrompt::Press(d, Qt::Key_Escape); },
                       [](TCloseDlg& d) { d.reject(); },
                       // The title bar's close box, as the window system delivers it.
                       [](TCloseDlg& d) { d.windowHandle()->close(); }});
    ASSERT_FALSE(form.CloseDocument(doc));
    ASSERT_FALSE(form.CloseDocument(doc));
    EXPECT_FALSE(form.close()); // the same prompt while the program closes
    EXPECT_EQ(prompt.shown, 3);
    EXPECT_EQ(prompt.unexpected, 0);
    ASSERT_FALSE(doc.isNull());
    EXPECT_EQ(form.Documents().size(), 1u);
    EXPECT_TRUE(doc->Modified());
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(dialogs_.saveRequests.empty());
}

TEST_F(CloseTest, EnterSavesAtEveryPrompt) {
    TMainForm& form = Form();
    KeepRunning keep;
    auto enter = [](TCloseDlg& d) { RealPrompt::Press(d, Qt::Key_Return); };

    // File > Exit with two changed documents, the first asked answered Do not save.
    TMDIChild* asked2nd = OpenChanged("a.q27", {"100"});
    asked2nd->SetRecords(LoggerDoc({"100", "110"}).Records, ModelQMV27);
    OpenChanged("b.q27", {"200"});
    {
        RealPrompt prompt(
            form.CloseDialog(),
            {[](TCloseDlg& d) { QTest::mouseClick(d.btnNoSave, Qt::LeftButton); }, enter});
        dialogs_.saveAnswers.push_back(Path("a.q27"));
        form.Command("AcExit")->trigger();
        EXPECT_EQ(prompt.shown, 2);
        EXPECT_EQ(prompt.unexpected, 0);
    }
    EXPECT_EQ(dialogs_.saveRequests.size(), 1u); // the second prompt saved
    DocumentData back;
    ASSERT_EQ(LoadDataFile(Path("a.q27").toStdString(), back).status, LoadStatus::Ok);
    EXPECT_EQ(back.Records.size(), 2u);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(CloseTest, EnterSavesAfterSaveAllWasGreyed) {
    TMainForm& form = Form();
    KeepRunning keep;
    // File > Close All: Save All saves the document with records, the memo-only one is asked
    // about again, now with Save All greyed.
    form.Command("AcNewFile")->trigger();
    TMDIChild* memoOnly = form.ActiveDocument();
    memoOnly->Memo1->document()->setModified(true);
    memoOnly->Memo1->insertPlainText("notes");
    OpenChanged("a.q27", {"100"});
    RealPrompt prompt(form.CloseDialog(),
                      {[](TCloseDlg& d) { QTest::mouseClick(d.btnAllSave, Qt::LeftButton); },
                       [](TCloseDlg& d) {
                           EXPECT_FALSE(d.btnAllSave->isEnabled());
                           RealPrompt::Press(d, Qt::Key_Return);
                       }});
    form.Command("AcAllClose")->trigger();
    EXPECT_EQ(prompt.shown, 2);
    EXPECT_EQ(prompt.unexpected, 0);
    // Enter chose Save: the save dialog came (and was cancelled), the memo stays.
    ASSERT_EQ(dialogs_.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs_.saveRequests[0].fileName, "Untitled 1");
    ASSERT_EQ(form.Documents().size(), 1u);
    EXPECT_EQ(form.Documents()[0], memoOnly);
}

} // namespace
} // namespace qmv::test
