#include "recorddrag.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>

#include "chartview.h"
#include "mdichild.h"
#include "panelbar.h"
#include "ui/errorreport.h"

namespace qmv {

const char* const RecordMimeType = "application/x-qmvwin-records";

namespace {

QByteArray Payload(int tag) {
    return QByteArray::number(QCoreApplication::applicationPid()) + ' ' + QByteArray::number(tag);
}

} // namespace

TRecordList::TRecordList(QWidget* parent) : QTreeWidget(parent) {}

void TRecordList::startDrag(Qt::DropActions) {
    if (dragStarter)
        dragStarter();
}

RecordDrag::RecordDrag(TMDIChild& doc) : QObject(&doc), doc_(doc) {
    // Widgets of a scroll area receive drags on their viewport.
    QWidget* targets[] = {doc.Info->viewport(), doc.ListView1->viewport(), doc.Chart1->viewport(),
                          doc.stbAtai,          doc.Memo1->viewport(),     doc.StaticText1};
    for (QWidget* w : targets) {
        w->setAcceptDrops(true);
        w->installEventFilter(this);
    }
    if (auto* list = dynamic_cast<TRecordList*>(doc.Info)) {
        list->setDragEnabled(true);
        list->dragStarter = [this] { Run(); };
    }
}

QMimeData* RecordDrag::Start() {
    rows_ = doc_.SelectedIndexes();
    if (rows_.empty())
        return nullptr;
    RecordClipboard& clip = doc_.Host().Clipboard();
    CopyRecords(doc_.Data(), rows_, clip);
    clip.DragSourceTag = doc_.Tag;
    auto* mime = new QMimeData;
    mime->setData(QLatin1String(RecordMimeType), Payload(doc_.Tag));
    return mime;
}

void RecordDrag::End() {
    RecordClipboard& clip = doc_.Host().Clipboard();
    clip.ClipRecords.clear();
    clip.DragSourceTag = -1;
    rows_.clear();
    doc_.update();
}

void RecordDrag::Run() {
    QMimeData* mime = Start();
    if (!mime)
        return;
    QPointer<TMDIChild> source(&doc_);
    auto* drag = new QDrag(doc_.Info);
    drag->setMimeData(mime);
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
    if (source)
        End();
}

bool RecordDrag::Ours(const QMimeData* mime) const {
    // Records are on the clipboard only while a drag of this process runs.
    const RecordClipboard& clip = doc_.Host().Clipboard();
    if (!mime || clip.DragSourceTag < 0 || !mime->hasFormat(QLatin1String(RecordMimeType)))
        return false;
    return mime->data(QLatin1String(RecordMimeType)) == Payload(clip.DragSourceTag);
}

bool RecordDrag::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event);
    if (!Ours(drop->mimeData())) {
        // The memo takes text as an editor does; everything else goes to the main window, which
        // opens dropped files as it does where no document lies.
        if (watched == doc_.Memo1->viewport() && !drop->mimeData()->hasUrls())
            return QObject::eventFilter(watched, event);
        drop->ignore();
        if (drop->mimeData() && drop->mimeData()->hasUrls()) {
            drop->acceptProposedAction();
            if (type == QEvent::Drop)
                doc_.Host().OpenDroppedUrls(drop->mimeData()->urls());
        }
        return true;
    }
    if (type == QEvent::Drop) {
        Drop(watched, drop);
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::DragMove && watched == doc_.Info->viewport())
        ScrollWhileHovering(drop->position().toPoint());
    return true;
}

void RecordDrag::ScrollWhileHovering(const QPoint& pos) {
    QTreeWidget* list = doc_.Info;
    const int rows = list->topLevelItemCount();
    const int under = list->indexAt(pos).row();
    if (rows == 0 || under < 0)
        return;
    const int top = list->indexAt(QPoint(1, 1)).row();
    int bottom = list->indexAt(QPoint(1, list->viewport()->height() - 1)).row();
    if (bottom < 0)
        bottom = rows - 1;
    // One row at a time, whatever the list's scroll mode.
    if (under == top && top > 0)
        list->scrollToItem(list->topLevelItem(top - 1), QAbstractItemView::PositionAtTop);
    else if (under == bottom && bottom < rows - 1)
        list->scrollToItem(list->topLevelItem(top + 1), QAbstractItemView::PositionAtTop);
}

void RecordDrag::Drop(QObject* watched, QDropEvent* event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
    const bool onList = watched == doc_.Info->viewport();
    // The row marked as target: the one under the pointer on the list, none elsewhere.
    const int target = onList ? doc_.Info->indexAt(event->position().toPoint()).row() : -1;
    RunReported(&doc_, [&] {
        RecordClipboard& clip = doc_.Host().Clipboard();
        if (clip.DragSourceTag != doc_.Tag) {
            // The records' new home comes to the front, so that Undo reaches the drop.
            doc_.Host().ActivateDocument(&doc_);
            doc_.DropRecords(target);
        } else if (onList)
            doc_.MoveRecords(rows_, target);
        // Dropped elsewhere on its own document: nothing.
    });
}

} // namespace qmv
