// The merge command in the window: the file chosen in the open dialog is merged into the active
// document as one undo step, and refusals leave the document as it was.
#include <QAction>
#include <QPlainTextEdit>

#include "apptest.h"
#include "document/undocommands.h"
#include "ui/uitext.h"

namespace qmv::test {
namespace {

class MergeCommandTest : public AppTest {
protected:
    static std::string Bytes(TMDIChild* doc) {
        std::string out;
        EXPECT_TRUE(FormatDataFile(doc->Data(), VersionText(), out));
        return out;
    }
};

TEST_F(MergeCommandTest, MergesTheChosenFileAsOneUndoStep) {
    DocumentData own = LoggerDoc({"300", "100", "200"});
    own.Memo = {"site A"};
    DocumentData other = LoggerDoc({"450", "460"});
    other.Memo = {"site B", "second line"};
    const QString otherPath = WriteDoc("other.q27", other);
    Form().OpenDroppedFiles({WriteDoc("own.q27", own)});
    TMDIChild* doc = form_->ActiveDocument();
    ASSERT_NE(doc, nullptr);
    const std::string saved = Bytes(doc);
    doc->SelectRow(1);

    // Every file chosen is merged, in order, as one step.
    dialogs_.openAnswers.push_back({otherPath, Path("own.q27")});
    form_->Command("AcGraphSUM")->trigger();
    ASSERT_EQ(dialogs_.openRequests.size(), 1u);
    EXPECT_EQ(dialogs_.openRequests[0].folder, form_->DataFolder());
    EXPECT_TRUE(dialogs_.messages.empty()) << dialogs_.LastMessage().toStdString();
    ASSERT_EQ(doc->RecordCount(), 8);
    EXPECT_EQ(doc->Records()[3].MinDb, "450");
    EXPECT_EQ(doc->Records()[5].MinDb, "300");
    EXPECT_EQ(doc->Info->topLevelItemCount(), 8);
    EXPECT_EQ(doc->SelectedIndex(), 1);
    EXPECT_EQ(doc->Memo1->toPlainText(), "site A\nsite B\nsecond line\nsite A");
    EXPECT_EQ(doc->Memo1->textCursor().position(), 0);
    EXPECT_TRUE(doc->Modified());
    const std::string merged = Bytes(doc);

    form_->Command("AcUndo")->trigger();
    EXPECT_EQ(Bytes(doc), saved);
    EXPECT_FALSE(doc->Modified());
    EXPECT_EQ(doc->Memo1->toPlainText(), "site A");
    form_->Command("AcRedo")->trigger();
    EXPECT_EQ(Bytes(doc), merged);

    // A file of another model, or one that does not read, changes nothing and leaves no step;
    // the dialog proposes the file merged last.
    DocumentData sensor;
    sensor.Model = ModelGZNMin;
    sensor.Records = {SensorRecord(1, "60", "2011/01/01 00:00")};
    dialogs_.openAnswers.push_back({WriteDoc("sensor.q27", sensor)});
    dialogs_.openAnswers.push_back({WriteRaw("bad.q27", "not a data file")});
    form_->Command("AcSave")->trigger();
    form_->Command("AcGraphSUM")->trigger();
    form_->Command("AcGraphSUM")->trigger();
    EXPECT_EQ(dialogs_.openRequests[1].fileName, "other.q27");
    ASSERT_EQ(dialogs_.messages.size(), 2u);
    EXPECT_EQ(dialogs_.messages[0].text, Tx2("Msg", "MsgModErr0", "Msg", "MsgModErr1"));
    EXPECT_EQ(dialogs_.messages[1].text, Tx2("Msg", "MsgDataErr0", "Msg", "MsgDataErr1"));
    EXPECT_EQ(dialogs_.messages[1].kind, MessageKind::Warning);
    EXPECT_EQ(dialogs_.beeps, 1);
    EXPECT_EQ(Bytes(doc), merged);
    EXPECT_FALSE(doc->Modified());
    EXPECT_EQ(form_->Command("AcUndo")->text(), "Undo " + UndoStepName("MenuE10"));

    // Past the limit the records that fit are added, with the warning.
    DocumentData many;
    many.Model = ModelQMV27;
    many.Records.assign(248, LoggerRecord(9, "100", "2010/06/01 09:00"));
    dialogs_.openAnswers.push_back({WriteDoc("many.q27", many)});
    form_->Command("AcGraphSUM")->trigger();
    EXPECT_EQ(doc->RecordCount(), MaxRecords);
    EXPECT_EQ(dialogs_.LastMessage(), Tx2("Msg", "MsgDataOver0", "Msg", "MsgOverErr"));
}

} // namespace
} // namespace qmv::test
