// Documents: captions, counters, opening, saving, the command line.
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QToolBar>
#include <csignal>
#include <map>
#include <sys/resource.h>
#include <vector>

#include "apptest.h"
#include "document/panelbar.h"

namespace qmv::test {
namespace {

class DocumentsTest : public AppTest {};

TEST_F(DocumentsTest, NewDocumentsAreNumbered) {
    TMainForm& form = Form();
    EXPECT_EQ(form.DocCounter, 0);
    EXPECT_EQ(form.NewFileCounter, 1);
    form.Command("AcNewFile")->trigger();
    form.Command("AcNewFile")->trigger();
    ASSERT_EQ(form.Documents().size(), 2u);
    TMDIChild* first = form.Documents().back();
    TMDIChild* second = form.Documents().front();
    EXPECT_EQ(first->Caption(), "Untitled 1");
    EXPECT_EQ(second->Caption(), "Untitled 2");
    EXPECT_EQ(first->WindowItem()->text(), "Untitled 1");
    EXPECT_EQ(first->Tag, 0);
    EXPECT_EQ(second->Tag, 1);
    EXPECT_EQ(form.DocCounter, 2);
    EXPECT_EQ(form.NewFileCounter, 3);
    EXPECT_TRUE(first->IsNewDocument());
    EXPECT_EQ(first->FileName(), "Untitled");
    EXPECT_EQ(form.ActiveDocument(), second);
    // Tags are never reused.
    form.CloseDocument(second);
    form.Command("AcNewFile")->trigger();
    EXPECT_EQ(form.ActiveDocument()->Tag, 2);
}

TEST_F(DocumentsTest, OpeningThreeFilesGivesConsecutiveTags) {
    TMainForm& form = Form();
    QStringList files;
    for (const char* n : {"one.q27", "two.q27", "three.q27"})
        files << WriteDoc(n, LoggerDoc({"100", "200"}));
    dialogs_.openAnswers.push_back(files);
    form.Command("AcFileOpen")->trigger();
    ASSERT_EQ(dialogs_.openRequests.size(), 1u);
    EXPECT_EQ(dialogs_.openRequests[0].folder, DataFolderPath());
    EXPECT_EQ(dialogs_.openRequests[0].filter, OpenFilter);
    EXPECT_TRUE(dialogs_.openRequests[0].multiSelect);
    ASSERT_EQ(form.Documents().size(), 3u);
    const std::vector<TMDIChild*> docs(form.Documents().rbegin(), form.Documents().rend());
    EXPECT_EQ(docs[0]->Caption(), "one.q27");
    EXPECT_EQ(docs[2]->Caption(), "three.q27");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(docs[i]->Tag, i);
        EXPECT_EQ(docs[i]->RecordCount(), 2);
        EXPECT_FALSE(docs[i]->Modified());
    }
    // Dropped files continue the numbering.
    form.OpenDroppedFiles({files[0], files[1], files[2]});
    EXPECT_EQ(form.Documents().front()->Tag, 5);
    EXPECT_EQ(form.Documents()[1]->Tag, 4);
    EXPECT_EQ(form.Documents()[2]->Tag, 3);
}

TEST_F(DocumentsTest, LoggerDocumentShowsListDetailsMemoAndModel) {
    TMainForm& form = Form();
    DocumentData d = LoggerDoc({"120", "095"});
    d.Records[0].Note = "window";
    d.Memo = {"first line", "second line"};
    form.OpenDroppedFiles({WriteDoc("log.q27", d)});
    TMDIChild* doc = form.ActiveDocument();
    ASSERT_EQ(doc->Info->topLevelItemCount(), 2);
    EXPECT_EQ(doc->Info->topLevelItem(0)->text(0), "1");
    EXPECT_EQ(doc->Info->topLevelItem(0)->text(1), "001"); // logger numbers have three digits
    EXPECT_EQ(doc->Info->topLevelItem(0)->text(2), "120");
    EXPECT_EQ(doc->Info->topLevelItem(0)->text(4), "window");
    EXPECT_EQ(doc->Info->headerItem()->text(2), "Min.dB");
    EXPECT_TRUE(doc->ListView1->isVisibleTo(doc));
    ASSERT_EQ(doc->ListView1->topLevelItemCount(), 7);
    EXPECT_EQ(doc->SelectedIndex(), 0); // details select row 0 when nothing is selected
    EXPECT_EQ(doc->ListView1->topLevelItem(3)->text(0), "Band-pass filter");
    EXPECT_EQ(doc->ListView1->topLevelItem(3)->text(1), "200 - 800 Hz");
    EXPECT_EQ(doc->ListView1->topLevelItem(4)->text(1), "50 Hz");
    EXPECT_EQ(doc->Memo1->toPlainText(), "first line\nsecond line");
    EXPECT_EQ(doc->stbModel->Text(0), "Model");
    EXPECT_EQ(doc->stbModel->Text(1), "QMV-27");
    EXPECT_EQ(doc->ModelName(), "QMV-27");
}

TEST_F(DocumentsTest, SensorDocumentHasNoDetails) {
    TMainForm& form = Form();
    DocumentData d;
    d.Model = ModelGZNMid;
    d.Records = {SensorRecord(7, "45", "2011/01/02 03:04"),
                 SensorRecord(8, "60", "2011/01/02 03:05")};
    form.OpenDroppedFiles({WriteDoc("sensor.q27", d)});
    TMDIChild* doc = form.ActiveDocument();
    EXPECT_FALSE(doc->ListView1->isVisibleTo(doc));
    doc->SelectRow(1);
    doc->ShowDetails();
    EXPECT_EQ(doc->ListView1->topLevelItemCount(), 0);
    EXPECT_EQ(doc->Info->topLevelItem(0)->text(1), "00007");
    EXPECT_EQ(doc->ModelName(), "GZN-4P MID");
}

TEST_F(DocumentsTest, BadFileLeavesAnEmptyDocumentUnderItsOldCaption) {
    TMainForm& form = Form();
    const QString bad = WriteRaw("bad.q27", "this is not a data file\r\nMemo\r\nnote\r\n");
    dialogs_.openAnswers.push_back({bad});
    form.Command("AcFileOpen")->trigger();
    ASSERT_EQ(form.Documents().size(), 1u);
    TMDIChild* doc = form.ActiveDocument();
    EXPECT_EQ(doc->Caption(), "Untitled");
    EXPECT_TRUE(doc->IsNewDocument());
    EXPECT_EQ(doc->RecordCount(), 0);
    EXPECT_TRUE(doc->MemoEmpty());
    EXPECT_FALSE(doc->Modified());
    EXPECT_EQ(dialogs_.beeps, 1);
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].text, "The data contains an invalid value.\r\nThe file is "
                                         "damaged or is not a data file.");
    EXPECT_EQ(dialogs_.messages[0].kind, MessageKind::Error);
}

TEST_F(DocumentsTest, FileOverTheRecordLimitSaysSo) {
    TMainForm& form = Form();
    QByteArray bytes = "1.0.0.0,01,0,0600,0000,0200,\r\n";
    for (int i = 0; i < 251; ++i)
        bytes += "00001,0123,0456,0789,045,0,2010/05/31 14:05,0,1,2,3,x,\r\n";
    form.OpenDroppedFiles({WriteRaw("many.q27", bytes)});
    EXPECT_EQ(form.ActiveDocument()->RecordCount(), 0);
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].text,
              QStringLiteral("The data contains an invalid value.\r\n"
                             "The file is damaged or is not a data file.\r\n"
                             "A document can hold at most 250 records."));
}

TEST_F(DocumentsTest, RecordThatCannotBeShownEmptiesTheDocumentUnderTheFileName) {
    TMainForm& form = Form();
    DocumentData d = LoggerDoc({"100", "1x0"});
    d.Memo = {"kept?"};
    const QString path = WriteDoc("odd.q27", d);
    const auto bytesOf = [&path] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray before = bytesOf();
    form.OpenDroppedFiles({path});
    TMDIChild* doc = form.ActiveDocument();
    EXPECT_EQ(doc->Caption(), "odd.q27");
    EXPECT_EQ(doc->RecordCount(), 0);
    EXPECT_EQ(doc->Info->topLevelItemCount(), 0);
    EXPECT_TRUE(doc->MemoEmpty());
    EXPECT_EQ(doc->Chart1->Shown().series[Series1Levels].DrawnCount(), 0);
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].text,
              QString::fromUtf8("\u2018odd.q27\u2019\r\nThe data contains an invalid value.\r\n"
                                "The file is damaged or is not a data file."));
    // The emptied document is no longer tied to the file: typing in the memo and saving asks
    // for a name instead of writing the file over with no records.
    EXPECT_TRUE(doc->IsNewDocument());
    doc->Memo1->insertPlainText(QStringLiteral("typed"));
    form.Command("AcSave")->trigger();
    EXPECT_EQ(dialogs_.saveRequests.size(), 1u);
    EXPECT_EQ(bytesOf(), before);
}

TEST_F(DocumentsTest, MissingFileReachesTheErrorReport) {
    TMainForm& form = Form();
    form.OpenDroppedFiles({Path("nowhere.q27")});
    ASSERT_EQ(form.Documents().size(), 1u); // the window stays, empty
    EXPECT_EQ(form.Documents()[0]->RecordCount(), 0);
    EXPECT_EQ(form.Documents()[0]->Tag, 0);
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_TRUE(dialogs_.messages[0].text.contains("nowhere.q27"));
}

TEST_F(DocumentsTest, FilesOnTheCommandLineOpenEachInItsOwnWindowInOrder) {
    const QString file = WriteDoc("cmd.q27", LoggerDoc({"100"}));
    const QString second = WriteDoc("second.q27", LoggerDoc({"100", "200"}));
    const QString third = WriteDoc("third.q27", LoggerDoc({"300"}));
    TMainForm& form = Form({file, second, third});
    // Tags count the windows in the order they were made.
    std::map<int, TMDIChild*> byTag;
    for (TMDIChild* doc : form.Documents())
        byTag[doc->Tag] = doc;
    ASSERT_EQ(byTag.size(), 3u);
    std::vector<TMDIChild*> docs;
    for (const auto& [tag, doc] : byTag)
        docs.push_back(doc);
    EXPECT_EQ(docs[0]->Caption(), "cmd.q27");
    EXPECT_EQ(docs[1]->Caption(), "second.q27");
    EXPECT_EQ(docs[1]->RecordCount(), 2);
    EXPECT_EQ(docs[2]->Caption(), "third.q27");
    EXPECT_EQ(form.ActiveDocument(), docs[2]);
    EXPECT_FALSE(form.ViewOnlyStart);
    EXPECT_TRUE(form.menuBar()->isVisibleTo(&form));
}

TEST_F(DocumentsTest, ViewOnlyStartShowsTheBareChart) {
    const QString file = WriteDoc("view.q27", LoggerDoc({"100", "200"}));
    TMainForm& form = Form({file, "M", "10", "20", "300", "400"});
    EXPECT_TRUE(form.ViewOnlyStart);
    EXPECT_EQ(form.y(), 10);
    EXPECT_EQ(form.x(), 20);
    EXPECT_EQ(form.height(), 300);
    EXPECT_EQ(form.width(), 400);
    EXPECT_FALSE(form.menuBar()->isVisibleTo(&form));
    EXPECT_FALSE(form.ToolBar()->isVisibleTo(&form));
    ASSERT_EQ(form.Documents().size(), 1u);
    TMDIChild* doc = form.Documents()[0];
    auto* sub = qobject_cast<QMdiSubWindow*>(doc->parentWidget());
    ASSERT_NE(sub, nullptr);
    EXPECT_TRUE(sub->isMaximized());
    EXPECT_FALSE(sub->isEnabled());
    EXPECT_FALSE(doc->stbAtai->isVisibleTo(doc));
    EXPECT_LE(doc->Info->parentWidget()->parentWidget()->width(), 1);
}

TEST_F(DocumentsTest, BadNumberOnTheCommandLineOpensNothing) {
    const QString file = WriteDoc("view.q27", LoggerDoc({"100"}));
    TMainForm& form = Form({file, "M", "10", "x20"});
    EXPECT_TRUE(form.Documents().empty());
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].kind, MessageKind::Error);
}

TEST_F(DocumentsTest, SaveOfANewDocumentAsksForAName) {
    TMainForm& form = Form();
    form.Command("AcNewFile")->trigger();
    TMDIChild* doc = form.ActiveDocument();
    form.Command("AcSave")->trigger();
    ASSERT_EQ(dialogs_.messages.size(), 1u); // nothing to save yet
    EXPECT_EQ(dialogs_.messages[0].text,
              "There is nothing to save: the document has no records and no memo.");
    EXPECT_EQ(dialogs_.messages[0].kind, MessageKind::Confirmation);
    EXPECT_TRUE(dialogs_.saveRequests.empty());

    doc->SetRecords(LoggerDoc({"100", "200"}).Records, ModelQMV27);
    doc->RefreshAfterChange(0);
    const QString target = Path("saved.q27");
    dialogs_.saveAnswers.push_back(target);
    form.Command("AcSave")->trigger();
    ASSERT_EQ(dialogs_.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs_.saveRequests[0].folder, DataFolderPath());
    EXPECT_EQ(dialogs_.saveRequests[0].fileName, "Untitled 1");
    EXPECT_EQ(dialogs_.saveRequests[0].filter, SaveFilter);
    EXPECT_EQ(doc->Caption(), "saved.q27");
    EXPECT_EQ(doc->WindowItem()->text(), "saved.q27");
    EXPECT_EQ(doc->FileName(), target);
    EXPECT_FALSE(doc->Modified());
    DocumentData back;
    ASSERT_EQ(LoadDataFile(target.toStdString(), back).status, LoadStatus::Ok);
    EXPECT_EQ(back.Records.size(), 2u);

    // A saved document saves to its file without asking.
    doc->Memo1->document()->setModified(true);
    doc->Memo1->insertPlainText("memo text");
    form.Command("AcSave")->trigger();
    EXPECT_EQ(dialogs_.saveRequests.size(), 1u);
    ASSERT_EQ(LoadDataFile(target.toStdString(), back).status, LoadStatus::Ok);
    EXPECT_EQ(back.Memo, std::vector<std::string>{"memo text"});
}

// Limits the size of files this process may write, so that a save fails half-way.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limited = old_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old_); }

private:
    rlimit old_{};
};

TEST_F(DocumentsTest, FailedWriteKeepsTheDocumentChanged) {
    TMainForm& form = Form();
    const QString file = WriteDoc("big.q27", LoggerDoc(std::vector<std::string>(30, "100")));
    form.OpenDroppedFiles({file});
    TMDIChild* doc = form.ActiveDocument();
    doc->SetModified(true);
    bool saved = true;
    {
        FileSizeLimit limit(200);
        saved = doc->SaveToFile(Path("copy.q27"));
    }
    EXPECT_FALSE(saved);
    EXPECT_TRUE(doc->Modified());
    EXPECT_EQ(dialogs_.beeps, 1);
    EXPECT_EQ(dialogs_.LastMessage(),
              "The file could not be written.\r\n" + Path("copy.q27") +
                  "\r\nThe file could not be used. Check its name, its folder and the disk.");
    // The close prompt still protects it.
    AnswerClose(TCloseDlg::CancelAnswer);
    EXPECT_FALSE(form.CloseDocument(doc));
    EXPECT_EQ(closeLabels_.size(), 1u);
}

TEST_F(DocumentsTest, FileErrorsOfTheGeneralReportSayWhyInTheLanguageFilesWords) {
    TMainForm& form = Form();
    form.Command("AcNewFile")->trigger();
    form.ActiveDocument()->ApplyChange("Paste", LoggerDoc({"100"}), 0);
    const QString why = "\r\nThe file or its folder does not exist.";
    dialogs_.saveAnswers.push_back(Path("missing/x.q27"));
    form.Command("AcSaveAs")->trigger();
    EXPECT_EQ(dialogs_.LastMessage(),
              "The file could not be written.\r\n" + Path("missing/x.q27") + why);
    form.OpenDroppedFiles({Path("gone.q27")});
    EXPECT_EQ(dialogs_.LastMessage(), "The file could not be opened.\r\n" + Path("gone.q27") + why);
    EXPECT_EQ(dialogs_.beeps, 2);
}

TEST_F(DocumentsTest, SaveAllNamesOnlyChangedDocumentsWithRecords) {
    TMainForm& form = Form();
    form.OpenDroppedFiles({WriteDoc("a.q27", LoggerDoc({"100"})),
                           WriteDoc("b.q27", LoggerDoc({"200"})),
                           WriteDoc("c.q27", LoggerDoc({"300"}))});
    // The frame's order puts the most recent first: c, b, a. Only b changes.
    ASSERT_EQ(form.Documents()[1]->Caption(), "b.q27");
    form.Documents()[1]->SetModified(true);
    WriteRaw(
        QDateTime::currentDateTime().toString("'prog/QMVData/b_1005311400_'yyMMddhhmm'_2.q27'"),
        "");
    form.Command("AcAllSave")->trigger();
    const QStringList written = QDir(DataFolderPath()).entryList(QDir::Files);
    ASSERT_EQ(written.size(), 2) << written.join(',').toStdString();
    EXPECT_TRUE(written[0].startsWith("b_1005311400_"));
    EXPECT_TRUE(written[0].endsWith("_2 (2).q27") || written[0].endsWith("_2.q27"));
    EXPECT_TRUE(dialogs_.saveRequests.empty());
    EXPECT_FALSE(form.Documents()[1]->Modified());
}

TEST_F(DocumentsTest, SaveAllNamesStayInsideTheDataFolder) {
    const QString under10(10, '_');
    EXPECT_EQ(AllSaveFileName("log.q27", "2010/05/31 14:05", "2406101230", 2),
              "log.q27_1005311405_2406101230_2");
    EXPECT_EQ(AllSaveFileName("log", "2010/05/3x 14:05", "s", 1), "log_10053_1405_s_1");
    EXPECT_EQ(AllSaveFileName("x", "20../../../etc", "s", 1), "x_" + under10 + "_s_1");
    EXPECT_EQ(AllSaveFileName("a/b\\c", "../../..x/passwd", "s", 3), "a_b_c_" + under10 + "_s_3");
    EXPECT_EQ(AllSaveFileName("n", "", "s", 1), "n_" + under10 + "_s_1");

    // A record whose date would climb out of the data folder still saves inside it.
    TMainForm& form = Form();
    DocumentData d = LoggerDoc({"100"});
    d.Records[0].Date = "../../../../tmp/";
    form.OpenDroppedFiles({WriteDoc("evil.q27", d)});
    form.ActiveDocument()->SetModified(true);
    form.Command("AcAllSave")->trigger();
    const QStringList written = QDir(DataFolderPath()).entryList(QDir::Files);
    ASSERT_EQ(written.size(), 1);
    EXPECT_TRUE(written[0].startsWith("evil_" + under10 + "_"));
}

TEST_F(DocumentsTest, TextExportThenSaveAsShowsTheDataFileFilterAgain) {
    TMainForm& form = Form();
    form.OpenDroppedFiles({WriteDoc("t.q27", LoggerDoc({"100"}))});
    const QString txt = Path("t.txt");
    dialogs_.saveAnswers.push_back(txt);
    form.Command("AcTextSave")->trigger();
    ASSERT_EQ(dialogs_.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs_.saveRequests[0].filter, TextFilter);
    EXPECT_EQ(dialogs_.saveRequests[0].defaultExt, "txt");
    EXPECT_EQ(dialogs_.saveRequests[0].fileName, "t");
    EXPECT_EQ(dialogs_.saveRequests[0].folder, tmp_.path());
    EXPECT_TRUE(QFile::exists(txt));
    form.Command("AcSaveAs")->trigger();
    ASSERT_EQ(dialogs_.saveRequests.size(), 2u);
    EXPECT_EQ(dialogs_.saveRequests[1].filter, SaveFilter);
    EXPECT_EQ(dialogs_.saveRequests[1].defaultExt, "q27");
    EXPECT_EQ(dialogs_.saveRequests[1].fileName, "t.q27");
}

TEST_F(DocumentsTest, DocumentCommandsDoNothingWithoutADocument) {
    TMainForm& form = Form();
    for (auto f :
         {&TMainForm::AcSaveExecute, &TMainForm::AcSaveAsExecute, &TMainForm::AcAllSaveExecute,
          &TMainForm::AcTextSaveExecute, &TMainForm::AcNoSortExecute,
          &TMainForm::AcGraphChangeExecute, &TMainForm::AcGraphCopyExecute,
          &TMainForm::AcFileCloseExecute, &TMainForm::AcAllCloseExecute})
        (form.*f)();
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_TRUE(dialogs_.saveRequests.empty());
}

} // namespace
} // namespace qmv::test
