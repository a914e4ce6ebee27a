// What a document window needs from the frame that holds it. The main window implements it; the
// document library never sees the main window's class.
#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include "data/recordops.h"

class QAction;
class QWidget;

namespace qmv {

class TMDIChild;
class TCloseDlg;

// The three program-wide chart switches (the checked state of AcPoint, AcMarker, AcStdLine).
struct ChartSwitches {
    bool point = false;
    bool marker = false;
    bool stdLine = false;
};

class DocumentHost {
public:
    virtual ~DocumentHost() = default;

    // The command of that name ("AcDataCut"), or nullptr when this build has no such command.
    virtual QAction* Command(const char* name) const = 0;
    virtual ChartSwitches Switches() const = 0;
    // The document window in front, nullptr when there is none.
    virtual TMDIChild* ActiveDocument() const = 0;
    virtual QString DataFolder() const = 0;
    // The record clipboard shared by every document (ClipRecords, ClipModel, DragSourceTag).
    virtual RecordClipboard& Clipboard() = 0;

    // Document windows of the frame, counted while they are open (a closing window still counts).
    virtual int DocumentCount() const = 0;
    // A document is about to close for good / is being destroyed.
    virtual void DocumentClosing(TMDIChild* doc) = 0;
    virtual void DocumentDestroyed(TMDIChild* doc) = 0;
    // Bring a document to the front (its Window-menu entry, its pop-up menus).
    virtual void ActivateDocument(TMDIChild* doc) = 0;

    // The save prompt shown by a closing document, created once and reused.
    virtual TCloseDlg& CloseDialog() = 0;
    // The save dialog of the frame for a data file: path receives the chosen file.
    virtual bool AskDataFilePath(QWidget* parent, const QString& folder, const QString& fileName,
                                 QString& path) = 0;
    // Files dragged from the desktop onto a document open as documents, as on the frame.
    virtual void OpenDroppedUrls(const QList<QUrl>& urls) = 0;
    // Save All, as the close prompt's all-save answer runs it.
    virtual void SaveAllDocuments() = 0;
};

} // namespace qmv
