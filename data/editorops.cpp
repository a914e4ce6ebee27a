#include "editorops.h"

#include <algorithm>

#include "codepage.h"

namespace qmv {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The number of digits at [at, at + count), or -1 when any of them is not a digit.
int Digits(const std::string& text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (!IsDigit(text[i]))
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// The list index a filter field wrote back as its code, or the record's own code when the list
// showed nothing: an unknown code is kept, never written as "-1".
std::string CodeFromList(int index, const std::string& original) {
    return index >= 0 ? std::to_string(index) : original;
}

} // namespace

DateCheck CheckEditorDate(const std::string& text) {
    if (text.size() < 4)
        return DateCheck::NotADate;
    const int year = Digits(text, 0, 4);
    if (year < 0)
        return DateCheck::NotADate;
    if (year < 1900 || year > 2099)
        return DateCheck::YearOutOfRange;
    // yyyy/mm/dd hh:nn, every part in full: the record keeps the text as shown, and the list,
    // sorting and the data file all rely on that shape.
    if (text.size() != 16 || text[4] != '/' || text[7] != '/' || text[10] != ' ' || text[13] != ':')
        return DateCheck::NotADate;
    const int month = Digits(text, 5, 2);
    const int day = Digits(text, 8, 2);
    const int hour = Digits(text, 11, 2);
    const int minute = Digits(text, 14, 2);
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59)
        return DateCheck::NotADate;
    return DateCheck::Ok;
}

std::string DataNoOnLeave(int model, const std::string& field, const std::string& recordDataNo) {
    if (field.empty())
        return FormatDataNo(model, recordDataNo);
    if (model != ModelQMV27 && StrToInt(field) > SensorDataNoLimit)
        return std::to_string(SensorDataNoLimit);
    return field;
}

std::string LevelText(int level) {
    return ZeroPad(level, level < 0 ? 2 : 3);
}

std::string FitNote(const std::string& note, int codePage) {
    return note.substr(0, WholeCharPrefix(note, NoteBytes, codePage));
}

recReadDataSeg EditedRecord(const recReadDataSeg& original, int model, const EditorFields& fields,
                            int codePage) {
    recReadDataSeg r = original;
    r.DataNo = ZeroPad(StrToInt(fields.dataNo), 5);
    r.Date = fields.date;
    r.Note = FitNote(fields.note, codePage);
    // A level the field did not offer is re-padded, never replaced: the field's range cannot show
    // a negative sensor level, and writing the field back would turn it into zero.
    r.MinDb = LevelText(fields.levelOpen ? fields.level : StrToInt(original.MinDb));
    if (model == ModelQMV27) {
        r.NrCode = CodeFromList(fields.nrIndex, original.NrCode);
        r.HpfCode = CodeFromList(fields.hpfIndex, original.HpfCode);
        r.LpfCode = CodeFromList(fields.lpfIndex, original.LpfCode);
        r.NfCode = CodeFromList(fields.nfIndex, original.NfCode);
    }
    return r;
}

int ConvertDocumentLevels(DocumentData& doc, int toModel) {
    std::vector<std::string> levels;
    levels.reserve(doc.Records.size());
    int clamped = 0;
    for (const recReadDataSeg& r : doc.Records) {
        const int v = StrToInt(ConvertLevel(doc.Model, toModel, r.MinDb));
        const int held = std::clamp(v, LowestLevel, HighestLevel);
        clamped += held != v;
        levels.push_back(ZeroPad(held, 2)); // ConvertLevel's own form
    }
    for (std::size_t i = 0; i < levels.size(); ++i)
        doc.Records[i].MinDb = levels[i];
    doc.Model = toModel;
    return clamped;
}

SetOutcome ApplyEditedRecord(DocumentData& doc, int index, const recReadDataSeg& record,
                             int editorModel) {
    SetOutcome outcome;
    doc.Records.at(static_cast<std::size_t>(index)) = record;
    if (doc.Model == editorModel)
        return outcome;
    try {
        outcome.clamped = ConvertDocumentLevels(doc, editorModel);
        outcome.converted = true;
    } catch (const EConvertError&) {
        outcome.conversionFailed = true;
    }
    return outcome;
}

int DeleteRecordAt(DocumentData& doc, int index) {
    doc.Records.erase(doc.Records.begin() + index);
    const int count = static_cast<int>(doc.Records.size());
    if (count == 0) {
        doc.Model = ModelNone;
        return -1;
    }
    return index < count ? index : count - 1;
}

} // namespace qmv
