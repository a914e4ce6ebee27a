// The record editor's rules over a document's data: its field checks, the record its fields
// write back, the conversion of a document's levels to another sensor model, and the deletion of
// one record. The dialog only collects the fields and calls these.
#pragma once

#include <string>

#include "datafile.h"

namespace qmv {

// The levels the data file's three-character MinDb column can hold.
constexpr int LowestLevel = -99;
constexpr int HighestLevel = 999;

// The most a sensor-model record number may be: a document never holds more records.
constexpr int SensorDataNoLimit = MaxRecords;

// What the editor's fields hold when Set is pressed.
struct EditorFields {
    std::string dataNo; // the data number field, digits only
    std::string date;   // the date field as shown, "yyyy/mm/dd hh:nn"
    std::string note;   // bytes in the code page
    int level = 0;      // the level field
    // The level field was open to the user (hidden edit mode on a logger record); otherwise the
    // record keeps its own level, whatever the field could show of it.
    bool levelOpen = false;
    // Selected indexes of the filter lists, -1 when a list shows nothing (a code it has no entry
    // for, such as 9).
    int nrIndex = -1;
    int hpfIndex = -1;
    int lpfIndex = -1;
    int nfIndex = -1;
};

enum class DateCheck {
    Ok,
    YearOutOfRange, // the first four characters are not a year from 1900 to 2099
    NotADate,       // not a real date and time of the form yyyy/mm/dd hh:nn
};

DateCheck CheckEditorDate(const std::string& text);

// The data number field after it is left: empty gives the record's own number back, formatted
// for the model; a sensor-model number above SensorDataNoLimit becomes that limit. Raises
// EConvertError when the record's own number is needed and is not a number.
std::string DataNoOnLeave(int model, const std::string& field, const std::string& recordDataNo);

// A level as the data file's MinDb column takes it: three digits ("040"), or a sign and two
// digits below zero ("-15").
std::string LevelText(int level);

// The note cut to the bytes its column holds, never inside a double-byte character.
std::string FitNote(const std::string& note, int codePage);

// The record Set writes for an editor of the given model: data number "%0.5d", the date as shown,
// the note fitted to its column, the level from the field or the record's own, and for the logger
// the filter codes from the lists (a list that shows nothing keeps the record's code).
recReadDataSeg EditedRecord(const recReadDataSeg& original, int model, const EditorFields& fields,
                            int codePage);

// Moves every level of the document to another model's range and sets the model. A level the
// MinDb column cannot hold is clamped to LowestLevel or HighestLevel; returns how many were.
// Raises EConvertError, leaving the document as it was, when a level is not a number.
int ConvertDocumentLevels(DocumentData& doc, int toModel);

struct SetOutcome {
    bool converted = false;        // the document took the editor's model
    int clamped = 0;               // levels clamped by the conversion
    bool conversionFailed = false; // a level was not a number: the model and levels stay
};

// Set's write-back: the record goes to its slot, then, when the editor's model differs from the
// document's, every level is converted. A failed conversion changes no level, so the document is
// never left half in one range and half in the other.
SetOutcome ApplyEditedRecord(DocumentData& doc, int index, const recReadDataSeg& record,
                             int editorModel);

// Removes the record at index; a document left without records has model 0. Returns the row to
// select afterwards: the same position, the new last row, or -1 when none is left.
int DeleteRecordAt(DocumentData& doc, int index);

} // namespace qmv
