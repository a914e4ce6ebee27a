// Sorting of the record list: record numbers and levels as numbers, dates and notes as text;
// reversible; by the program itself.
#include <QHeaderView>

#include "apptest.h"

namespace qmv::test {
namespace {

class SortingTest : public AppTest {
protected:
    TMDIChild* Open(const DocumentData& d) {
        Form().OpenDroppedFiles({WriteDoc("s.q27", d)});
        return form_->ActiveDocument();
    }

    static QStringList Column(TMDIChild* doc, int column) {
        QStringList out;
        for (int i = 0; i < doc->Info->topLevelItemCount(); ++i)
            out << doc->Info->topLevelItem(i)->text(column);
        return out;
    }
};

TEST_F(SortingTest, LevelsSortAsNumbersAndTheSameKeyAgainReverses) {
    // ConvertLevel writes two digits, the download three: 95 still sorts before 120.
    TMDIChild* doc = Open(LoggerDoc({"120", "100", "300", "101"}));
    doc->SetRecords(LoggerDoc({"120", "95", "300", "101"}).Records, ModelQMV27);
    doc->FillRecordList();
    doc->SelectRow(2);
    form_->Command("AcdBSort")->trigger();
    EXPECT_EQ(doc->SortMode(), 3);
    EXPECT_EQ(Column(doc, 2), QStringList({"95", "101", "120", "300"}));
    EXPECT_EQ(Column(doc, 0), QStringList({"1", "2", "3", "4"})); // renumbered
    EXPECT_EQ(doc->SelectedIndex(), 2); // the same position, not the same record
    EXPECT_TRUE(doc->Modified());
    EXPECT_EQ(doc->Records()[0].MinDb, "95");

    form_->Command("AcdBSort")->trigger();
    EXPECT_EQ(doc->SortMode(), -3);
    EXPECT_EQ(Column(doc, 2), QStringList({"300", "120", "101", "95"}));

    // Another key sorts ascending; the record-number sort restores the download order.
    form_->Command("AcNoSort")->trigger();
    EXPECT_EQ(doc->SortMode(), 2);
    EXPECT_EQ(Column(doc, 1), QStringList({"001", "002", "003", "004"}));
    EXPECT_EQ(Column(doc, 2), QStringList({"120", "95", "300", "101"}));
}

TEST_F(SortingTest, RecordNumbersSortAsNumbers) {
    DocumentData d;
    d.Model = ModelQMV27;
    d.Records = {LoggerRecord(1000, "100", "2010/05/31 14:00"),
                 LoggerRecord(999, "110", "2010/05/31 14:01"),
                 LoggerRecord(2, "120", "2010/05/31 14:02")};
    TMDIChild* doc = Open(d);
    form_->Command("AcNoSort")->trigger();
    EXPECT_EQ(Column(doc, 1), QStringList({"002", "999", "1000"}));
    form_->Command("AcNoSort")->trigger();
    EXPECT_EQ(Column(doc, 1), QStringList({"1000", "999", "002"}));

    // A record number that is not a number is reported and changes nothing.
    std::vector<recReadDataSeg> records = doc->Records();
    records[1].DataNo = "12x";
    doc->SetRecords(records, ModelQMV27);
    doc->SetModified(false);
    form_->Command("AcNoSort")->trigger();
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(doc->Records(), records);
    EXPECT_EQ(doc->SortMode(), -2);
    EXPECT_FALSE(doc->Modified());
}

TEST_F(SortingTest, ColumnHeadersSortByTheirColumn) {
    DocumentData d = LoggerDoc({"100", "200", "300"});
    d.Records[0].Note = "beta";
    d.Records[1].Note = "Alpha";
    d.Records[2].Note = "gamma";
    d.Records[0].Date = "2010/06/01 10:00";
    TMDIChild* doc = Open(d);
    doc->Info->header()->sectionClicked(4);
    EXPECT_EQ(doc->SortMode(), 5);
    // The locale's collation ignores case at the first level.
    EXPECT_EQ(Column(doc, 4), QStringList({"Alpha", "beta", "gamma"}));
    doc->Info->header()->sectionClicked(3);
    EXPECT_EQ(doc->SortMode(), 4);
    EXPECT_EQ(Column(doc, 3).first(), "2010/05/31 14:01");
    EXPECT_EQ(Column(doc, 3).last(), "2010/06/01 10:00");
    // The row-number column does not sort.
    doc->Info->header()->sectionClicked(0);
    EXPECT_EQ(doc->SortMode(), 4);
    EXPECT_FALSE(doc->Info->isSortingEnabled());
}

TEST_F(SortingTest, EmptyDocumentStillCountsAsChanged) {
    Form();
    form_->Command("AcNewFile")->trigger();
    TMDIChild* doc = form_->ActiveDocument();
    EXPECT_FALSE(doc->Modified());
    form_->Command("AcDateSort")->trigger();
    EXPECT_TRUE(doc->Modified());
    EXPECT_EQ(doc->SortMode(), 4);
}

TEST_F(SortingTest, NothingSelectedStaysUnselectedForSensors) {
    DocumentData d;
    d.Model = ModelGZNMax;
    d.Records = {SensorRecord(3, "50", "2011/01/01 00:00"),
                 SensorRecord(1, "40", "2011/01/01 00:01")};
    TMDIChild* doc = Open(d);
    doc->Info->clearSelection();
    form_->Command("AcNoSort")->trigger();
    EXPECT_EQ(doc->SelectedIndex(), -1);
    EXPECT_EQ(Column(doc, 1), QStringList({"00001", "00003"}));
}

} // namespace
} // namespace qmv::test
