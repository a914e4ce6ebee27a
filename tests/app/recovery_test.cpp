// Unsaved changes kept for recovery while a document is open, and offered back at start.
#include <QTest>

#include "apptest.h"
#include "data/recovery.h"
#include "document/recoverykeeper.h"

namespace qmv::test {
namespace {

using RecoveryTest = AppTest;

std::string Read(const std::string& path) {
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
}

TEST_F(RecoveryTest, ChangeIsKeptWithinTwoSecondsAndSaveOrCloseRemovesIt) {
    const QString file = WriteDoc("a.q27", LoggerDoc({"050", "060"}));
    TMDIChild* doc = Form({file}).ActiveDocument();
    const std::string kept = doc->Recovery().Path();
    QTest::keyClicks(doc->Memo1, "typed");
    RecoveryRecord r;
    QTRY_VERIFY_WITH_TIMEOUT(ParseRecoveryRecord(Read(kept), r), 2000);
    DocumentData d;
    ASSERT_EQ(ParseDataFile(r.data, d).status, LoadStatus::Ok);
    EXPECT_EQ(r.fileName + "|" + r.caption + "|" + d.Memo.at(0) + "|" + d.Records.at(1).MinDb,
              file.toStdString() + "|a.q27|typed|060");
    ASSERT_TRUE(doc->SaveToFile(file));
    EXPECT_TRUE(Read(kept).empty());
    QTest::keyClicks(doc->Memo1, "x");
    QTRY_VERIFY_WITH_TIMEOUT(!Read(kept).empty(), 2000);
    AnswerClose(TCloseDlg::NoSaveAnswer);
    ASSERT_TRUE(form_->CloseDocument(doc));
    EXPECT_TRUE(Read(kept).empty());
}

TEST_F(RecoveryTest, StartRestoresKeepsOrDiscardsWhatAnEndedProgramLeft) {
    DocumentData left = LoggerDoc({"070"});
    left.Memo = {"before the crash"};
    RecoveryRecord never{"", "NewFile 3", 61, ""}; // a document never saved
    ASSERT_TRUE(FormatDataFile(left, VersionText(), never.data));
    const struct {
        int answer, confirm;
        bool restored, removed;
    } cases[] = {{IdYes, 0, true, true},
                 {IdCancel, 0, false, false}, // asked again at the next start
                 {IdNo, IdCancel, false, false},
                 {IdNo, IdOk, false, true}}; // discarded, confirmed
    for (const auto& c : cases) {
        // What an ended program leaves: its folder, a lock file nobody holds, a record.
        const QString folder = QString::fromStdString(RecoveryFolder()) + "/100-1/";
        QDir().mkpath(folder);
        QFile(folder + "lock").open(QIODevice::WriteOnly);
        QFile record(folder + "doc-1.recover");
        ASSERT_TRUE(record.open(QIODevice::WriteOnly));
        record.write(QByteArray::fromStdString(FormatRecoveryRecord(never)));
        record.close();
        dialogs_.messages.clear();
        dialogs_.messageAnswers = {c.answer, c.confirm};
        TMainForm& form = Form();
        ASSERT_FALSE(dialogs_.messages.empty());
        EXPECT_TRUE(dialogs_.messages[0].text.contains("NewFile 3  ("));
        ASSERT_EQ(form.Documents().size(), c.restored ? 1u : 0u);
        if (c.restored) {
            TMDIChild* doc = form.Documents()[0];
            EXPECT_TRUE(doc->IsNewDocument() && doc->Modified() && doc->Caption() == "NewFile 3");
            EXPECT_TRUE(doc->MemoLines() == left.Memo && doc->RecordCount() == 1);
        }
        EXPECT_EQ(record.exists(), !c.removed);
        form_.reset();
        QDir(QString::fromStdString(RecoveryFolder())).removeRecursively();
    }
}

} // namespace
} // namespace qmv::test
