// Unsaved changes kept for recovery while a document is open, and offered back at start.
#include <QElapsedTimer>
#include <QTest>
#include <sys/file.h>

#include "apptest.h"
#include "data/recovery.h"
#include "document/recoverykeeper.h"

namespace qmv::test {
namespace {

class RecoveryTest : public AppTest {
protected:
    QString Base() const { return QString::fromStdString(RecoveryFolder()); }
    static std::string Read(const std::string& path) {
        QFile f(QString::fromStdString(path));
        return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
    }
    // A folder as a program leaves it: its lock file, held while it runs, and one record.
    QString Leave(const QString& sub, const RecoveryRecord& r) {
        const QString folder = Base() + "/" + sub;
        QDir().mkpath(folder);
        QFile(folder + "/lock").open(QIODevice::WriteOnly);
        const QString path = folder + "/" + QString::fromStdString(RecoveryFileName(1));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::fromStdString(FormatRecoveryRecord(r)));
        return path;
    }
};

TEST_F(RecoveryTest, ChangeIsKeptWithinTwoSecondsAndSaveRemovesIt) {
    const QString file = WriteDoc("a.q27", LoggerDoc({"050", "060"}));
    TMDIChild* doc = Form({file}).ActiveDocument();
    const std::string kept = doc->Recovery().Path();
    QElapsedTimer clock;
    clock.start();
    QTest::keyClicks(doc->Memo1, "typed");
    RecoveryRecord r;
    QTRY_VERIFY_WITH_TIMEOUT(ParseRecoveryRecord(Read(kept), r), 2000);
    std::printf("change to recovery record: %lld ms\n", static_cast<long long>(clock.elapsed()));
    EXPECT_EQ(r.fileName, file.toStdString());
    EXPECT_EQ(r.caption, "a.q27");
    DocumentData d;
    ASSERT_EQ(ParseDataFile(r.data, d).status, LoadStatus::Ok);
    EXPECT_EQ(d.Memo, std::vector<std::string>{"typed"});
    EXPECT_EQ(d.Records.size(), 2u);

    ASSERT_TRUE(doc->SaveToFile(file));
    EXPECT_TRUE(Read(kept).empty());
    // Closed without saving: gone as well.
    QTest::keyClicks(doc->Memo1, "x");
    QTRY_VERIFY_WITH_TIMEOUT(!Read(kept).empty(), 2000);
    AnswerClose(TCloseDlg::NoSaveAnswer);
    ASSERT_TRUE(form_->CloseDocument(doc));
    EXPECT_TRUE(Read(kept).empty());
}

TEST_F(RecoveryTest, StartOffersWhatEndedProgramsLeft) {
    DocumentData kept = LoggerDoc({"070"});
    kept.Memo = {"before the crash"};
    std::string bytes;
    ASSERT_TRUE(FormatDataFile(kept, VersionText(), bytes));
    const struct {
        int answer, confirm;
        bool restored, removed;
    } cases[] = {{IdYes, 0, true, true},      // restore
                 {IdCancel, 0, false, false}, // ask again at the next start
                 {IdNo, IdCancel, false, false},
                 {IdNo, IdOk, false, true}}; // discard, confirmed
    for (const auto& c : cases) {
        const QString orphan =
            Leave("100-1", {Path("old.q27").toStdString(), "old.q27", 60, bytes});
        const QString newOrphan = Leave("101-1", {"", "NewFile 3", 61, bytes});
        // A copy of the program that still runs holds its lock: its record is not offered.
        const QString live = Leave("102-1", {"", "running", 62, bytes});
        QFile lock(Base() + "/102-1/lock");
        ASSERT_TRUE(lock.open(QIODevice::ReadWrite));
        ASSERT_EQ(::flock(lock.handle(), LOCK_EX | LOCK_NB), 0);
        dialogs_.messages.clear();
        dialogs_.messageAnswers = {c.answer, c.confirm};
        TMainForm& form = Form();

        ASSERT_FALSE(dialogs_.messages.empty());
        const QString asked = dialogs_.messages[0].text;
        EXPECT_TRUE(asked.contains("old.q27") && asked.contains("NewFile 3"));
        EXPECT_FALSE(asked.contains("running"));
        EXPECT_EQ(form.Documents().size(), c.restored ? 2u : 0u);
        if (c.restored) {
            TMDIChild* old = form.Documents()[1];
            EXPECT_EQ(old->FileName(), Path("old.q27"));
            EXPECT_EQ(old->Caption(), "old.q27");
            EXPECT_TRUE(old->Modified());
            EXPECT_EQ(old->MemoLines(), kept.Memo);
            EXPECT_TRUE(form.Documents()[0]->IsNewDocument());
            EXPECT_EQ(form.Documents()[0]->Caption(), "NewFile 3");
        }
        EXPECT_EQ(QFile::exists(orphan), !c.removed);
        EXPECT_EQ(QFile::exists(newOrphan), !c.removed);
        EXPECT_TRUE(QFile::exists(live));
        form_.reset();
        QDir(Base()).removeRecursively();
    }
}

} // namespace
} // namespace qmv::test
