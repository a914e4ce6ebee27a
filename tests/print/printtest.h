// Helpers of the printing tests: documents, PDF printers and reading PDF files back as text.
#pragma once

#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "data/datafile.h"
#include "data/profile.h"

namespace qmv::test {

inline void LoadEnglishTexts() {
    ASSERT_TRUE(InterfaceTexts().Load(QMV_SOURCE_DIR "/lang/en/QMVLanguage.Lib"));
}

inline recReadDataSeg PrintRecordOf(int no, int level, const std::string& note = "") {
    char dataNo[8];
    std::snprintf(dataNo, sizeof dataNo, "%05d", no);
    char date[20];
    std::snprintf(date, sizeof date, "2011/03/%02d 10:%02d", 1 + no % 28, no % 60);
    return {dataNo, "0100", "0200", "0300", std::to_string(level), "0", date, "1",
            "2",    "1",    "0",    note};
}

// A logger document of count records, levels climbing from 150 in steps of 10.
inline DocumentData LoggerDocument(int count) {
    DocumentData d;
    d.Model = ModelQMV27;
    for (int i = 0; i < count; ++i)
        d.Records.push_back(PrintRecordOf(i + 1, 150 + 10 * (i % 20), "N" + std::to_string(i + 1)));
    return d;
}

inline void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}
inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A printer that writes a PDF file.
inline void ToPdf(QPrinter& printer, const QString& path) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::A4));
}

// The text of a PDF file, page by page, as pdftotext reads it (layout kept).
inline std::vector<QString> PdfPages(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << "pdftotext (poppler-utils, see scripts/setup) could not read "
                      << path.toStdString() << ": " << p.readAllStandardError().toStdString();
        return {};
    }
    std::vector<QString> pages;
    for (const QString& page : QString::fromUtf8(p.readAllStandardOutput()).split(QChar('\f')))
        pages.push_back(page);
    if (!pages.empty() && pages.back().trimmed().isEmpty())
        pages.pop_back(); // after the last form feed
    return pages;
}

// Sets up the CUPS queue that writes PDF files into ~/PDF (scripts/cups-pdf-queue). Returns an
// empty text when it is ready, else why it cannot be.
inline std::string SetUpPdfQueue(const QString& queue) {
    QProcess setup;
    setup.start(QStringLiteral(QMV_SOURCE_DIR "/scripts/cups-pdf-queue"), {queue});
    if (!setup.waitForFinished(30000))
        return "scripts/cups-pdf-queue did not finish";
    if (setup.exitStatus() != QProcess::NormalExit || setup.exitCode() != 0)
        return QString::fromUtf8(setup.readAllStandardError()).trimmed().toStdString();
    return {};
}

inline QString PdfText(const QString& path) {
    QString all;
    for (const QString& page : PdfPages(path))
        all += page;
    return all;
}

} // namespace qmv::test
