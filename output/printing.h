// Printing a document: its chart, heading, record table and memo as one print job.
#pragma once

#include <QString>

#include "data/datafile.h"
#include "document/documenthost.h"
#include "output/printlayout.h"

class QPrinter;
class QSettings;

namespace qmv {

// What a print job takes from a document.
struct PrintJob {
    QString caption; // the document window's caption
    QString modelName;
    DocumentData data;
    ChartSwitches switches; // the chart switches of the main window
    PrintOptions options = AllPrintOptions;
};

// The job's title in the printer queue: "QMVwin " and the caption.
QString PrintJobTitle(const QString& caption);

// Prints job on printer as one job, portrait. A record field that is not a number raises
// EConvertError before the job starts; a printer failure aborts the job and raises
// std::runtime_error. The hourglass shows meanwhile.
void PrintDocument(QPrinter& printer, const PrintJob& job);

// The options of section "Print" of the settings store; a missing or unreadable one is on.
PrintOptions ReadPrintOptions(QSettings& store);

// The file job index (from 0) of count jobs goes to when printing to the file out: out itself
// for a single job, else out with "-1", "-2", ... before its extension.
QString NumberedOutputFile(const QString& out, int index, int count);

} // namespace qmv
