// Dragging records between document windows: the record list that starts a drag, and the drop
// handling of every control of a document that takes records (record list, details list, chart,
// value status bar, memo, memo title). The records travel on the main window's record clipboard;
// the drag itself carries only a MIME type of this program, so a drag from or to another program
// carries no records.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTreeWidget>
#include <vector>

class QDropEvent;
class QMimeData;

namespace qmv {

class TMDIChild;

// The type a record drag carries: this process and the source document's tag.
extern const char* const RecordMimeType;

// The record list: starts a record drag where a list view would start its own.
class TRecordList : public QTreeWidget {
public:
    explicit TRecordList(QWidget* parent = nullptr);
    // Runs when the user drags selected rows.
    std::function<void()> dragStarter;

protected:
    void startDrag(Qt::DropActions supportedActions) override;
};

class RecordDrag : public QObject {
public:
    explicit RecordDrag(TMDIChild& doc);

    // Drag start on the source: the selected records onto the clipboard, the rows remembered for
    // a move. Returns the drag's MIME data (owned by the caller), or nullptr when nothing is
    // selected.
    QMimeData* Start();
    // Drag end on the source, dropped or cancelled: the clipboard is emptied.
    void End();
    // Start, the platform's drag loop, End.
    void Run();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Ours(const QMimeData* mime) const;
    void ScrollWhileHovering(const QPoint& pos);
    void Drop(QObject* watched, QDropEvent* event);

    TMDIChild& doc_;
    std::vector<int> rows_; // the rows a drag started from this document carries
};

} // namespace qmv
