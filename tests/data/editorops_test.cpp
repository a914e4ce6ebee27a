// The record editor's rules over a document's data.
#include <gtest/gtest.h>

#include "data/editorops.h"

using namespace qmv;

namespace {

recReadDataSeg Logger(const std::string& level) {
    return {"00012", "0100", "0200", "0300", level, "0", "2010/05/31 14:05",
            "1",     "2",    "1",    "0",    ""};
}

recReadDataSeg Sensor(const std::string& level) {
    return {"00012", "0000", "0000", "0000", level, "9", "2010/05/31 14:05",
            "9",     "9",    "9",    "9",    ""};
}

DocumentData Doc(int model, const std::vector<std::string>& levels) {
    DocumentData d;
    d.Model = model;
    for (const std::string& l : levels)
        d.Records.push_back(model == ModelQMV27 ? Logger(l) : Sensor(l));
    return d;
}

std::vector<std::string> Levels(const DocumentData& d) {
    std::vector<std::string> out;
    for (const recReadDataSeg& r : d.Records)
        out.push_back(r.MinDb);
    return out;
}

} // namespace

TEST(EditorDate, RealDatesAndTimesOnly) {
    EXPECT_EQ(CheckEditorDate("2008/02/29 00:00"), DateCheck::Ok);
    EXPECT_EQ(CheckEditorDate("2000/02/29 12:30"), DateCheck::Ok);
    EXPECT_EQ(CheckEditorDate("1900/01/01 00:00"), DateCheck::Ok);
    EXPECT_EQ(CheckEditorDate("2100/01/01 00:00"), DateCheck::YearOutOfRange);
    for (const char* bad :
         {"2009/02/29 10:00", "1900/02/29 10:00", "2009/13/01 10:00", "2009/00/10 10:00",
          "2009/04/31 10:00", "2009/04/00 10:00", "2009/04/10 24:00", "2009/04/10 10:60",
          "2009/4 /10 10:00", "2009/04/10 10:0 ", "    /  /     :  ", "2009-04-10 10:00"})
        EXPECT_EQ(CheckEditorDate(bad), DateCheck::NotADate) << bad;
}

TEST(EditorFields, DataNoWhenTheFieldIsLeft) {
    EXPECT_EQ(DataNoOnLeave(ModelGZNMax, "300", "00012"), "250");
    EXPECT_EQ(DataNoOnLeave(ModelTR22B7, "251", "00012"), "250");
    EXPECT_EQ(DataNoOnLeave(ModelGZNMid, "250", "00012"), "250");
    EXPECT_EQ(DataNoOnLeave(ModelQMV27, "999", "00012"), "999"); // the logger counts to 999
    EXPECT_EQ(DataNoOnLeave(ModelQMV27, "", "00012"), "012");
    EXPECT_EQ(DataNoOnLeave(ModelGZNMin, "", "12"), "00012");
}

TEST(EditorFields, TheRecordSetWritesBack) {
    EditorFields f;
    f.dataNo = "7";
    f.date = "2009/02/13 23:31";
    f.note = "memo";
    f.nrIndex = 3;
    f.hpfIndex = -1; // the record's code 9 has no entry in the list
    f.lpfIndex = 0;
    f.nfIndex = 2;
    recReadDataSeg original = Logger("120");
    original.HpfCode = "9";
    recReadDataSeg r = EditedRecord(original, ModelQMV27, f, 1252);
    EXPECT_EQ(r.DataNo, "00007");
    EXPECT_EQ(r.Date, "2009/02/13 23:31");
    EXPECT_EQ(r.Note, "memo");
    EXPECT_EQ(r.HpfCode, "9");
    EXPECT_EQ(r.NrCode, "3");
    EXPECT_EQ(r.LpfCode, "0");
    EXPECT_EQ(r.NfCode, "2");
    EXPECT_EQ(r.MinDb, "120"); // the level field was closed
    EXPECT_EQ(r.Raw1, "0100");

    f.levelOpen = true;
    f.level = 75;
    EXPECT_EQ(EditedRecord(original, ModelQMV27, f, 1252).MinDb, "075");

    // A sensor record keeps its filter codes and its own level, re-padded, negative ones too.
    f.levelOpen = false;
    EXPECT_EQ(EditedRecord(Sensor("40"), ModelGZNMax, f, 1252).MinDb, "040");
    r = EditedRecord(Sensor("-15"), ModelGZNMax, f, 1252);
    EXPECT_EQ(r.MinDb, "-15");
    EXPECT_EQ(r.HpfCode, "9");
    EXPECT_EQ(r.NrCode, "9");
    EXPECT_EQ(EditedRecord(Sensor("-5"), ModelGZNMax, f, 1252).MinDb, "-05");
}

TEST(EditorFields, NoteFitsItsColumnInWholeCharacters) {
    const std::string kana = "\x83\x41"; // a double-byte character of code page 932
    std::string eight;
    for (int i = 0; i < 8; ++i)
        eight += kana;
    EXPECT_EQ(FitNote(eight, 932), eight.substr(0, 14));
    EXPECT_EQ(FitNote("a" + eight, 932), "a" + eight.substr(0, 12));
    EXPECT_EQ(FitNote("abcdefghijklmnopq", 1252), "abcdefghijklmn");
    // In code page 1252 the same bytes are single characters and are cut at 14.
    EXPECT_EQ(FitNote("a" + eight, 1252).size(), 14u);
}

TEST(EditorModel, LevelsMoveAndAreClampedToTheColumn) {
    DocumentData d = Doc(ModelGZNMax, {"45", "000", "-5"});
    EXPECT_EQ(ConvertDocumentLevels(d, ModelGZNMin), 0);
    EXPECT_EQ(Levels(d), (std::vector<std::string>{"85", "40", "35"}));
    EXPECT_EQ(d.Model, ModelGZNMin);

    d = Doc(ModelGZNMin, {"-70", "100", "-59"}); // -59 lands on the limit itself
    EXPECT_EQ(ConvertDocumentLevels(d, ModelGZNMax), 1);
    EXPECT_EQ(Levels(d), (std::vector<std::string>{"-99", "60", "-99"}));
    d = Doc(ModelGZNMax, {"980", "959", "960"});
    EXPECT_EQ(ConvertDocumentLevels(d, ModelGZNMin), 2);
    EXPECT_EQ(Levels(d), (std::vector<std::string>{"999", "999", "999"}));
    // Every clamped level can be saved again.
    std::string bytes;
    EXPECT_TRUE(FormatDataFile(d, "1.0.0.0", bytes));
}

TEST(EditorModel, AFailedConversionChangesNoLevel) {
    DocumentData d = Doc(ModelGZNMax, {"45", "50", "x"});
    EXPECT_THROW(ConvertDocumentLevels(d, ModelGZNMid), EConvertError);
    EXPECT_EQ(Levels(d), (std::vector<std::string>{"45", "50", "x"}));
    EXPECT_EQ(d.Model, ModelGZNMax);

    const SetOutcome outcome = ApplyEditedRecord(d, 0, Sensor("046"), ModelGZNMid);
    EXPECT_TRUE(outcome.conversionFailed);
    EXPECT_FALSE(outcome.converted);
    EXPECT_EQ(Levels(d), (std::vector<std::string>{"046", "50", "x"})); // the record is written
    EXPECT_EQ(d.Model, ModelGZNMax);

    d = Doc(ModelGZNMax, {"45", "50"});
    const SetOutcome same = ApplyEditedRecord(d, 1, Sensor("051"), ModelGZNMax);
    EXPECT_FALSE(same.converted);
    EXPECT_EQ(Levels(d), (std::vector<std::string>{"45", "051"}));
}

TEST(EditorDelete, SelectionAfterwardsAndTheEmptyDocument) {
    DocumentData d = Doc(ModelGZNMid, {"1", "2", "3"});
    EXPECT_EQ(DeleteRecordAt(d, 1), 1);
    EXPECT_EQ(Levels(d), (std::vector<std::string>{"1", "3"}));
    EXPECT_EQ(DeleteRecordAt(d, 1), 0); // the last row: the new last row is selected
    EXPECT_EQ(d.Model, ModelGZNMid);
    EXPECT_EQ(DeleteRecordAt(d, 0), -1);
    EXPECT_TRUE(d.Records.empty());
    EXPECT_EQ(d.Model, ModelNone);
}
