// The main window's document windows: creating and opening them, files dropped on the frame,
// activation and closing, and the Window commands that arrange them.

#include <QAction>
#include <QActionGroup>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QStyle>
#include <QUndoGroup>
#include <QUrl>

#include "document/mdichild.h"
#include "mainform.h"
#include "ui/errorreport.h"

namespace qmv {

TMDIChild* TMainForm::CreateDocument() {
    auto* doc = new TMDIChild(*this);
    const QList<QMdiSubWindow*> earlier = mdiArea_->subWindowList(QMdiArea::CreationOrder);
    QMdiSubWindow* last = earlier.isEmpty() ? nullptr : earlier.last();
    QMdiSubWindow* sub = mdiArea_->addSubWindow(doc);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(windowIcon());
    PlaceNewDocument(sub, last);
    menuWindow_->addAction(doc->WindowItem());
    windowItems_->addAction(doc->WindowItem());
    docs_.insert(docs_.begin(), doc);
    connect(doc, &TMDIChild::editRecordRequested, this, [this, doc] { OpenRecordEditor(doc); });
    connect(doc, &TMDIChild::graphSettingsRequested, this,
            [this] { RunReported(this, [this] { AcGraphExecute(); }); });
    undoGroup_->addStack(doc->UndoStack());
    // The tag comes first, so that a document is told apart even when its file fails to open.
    doc->Tag = DocCounter++;
    sub->show();
    mdiArea_->setActiveSubWindow(sub);
    if (docs_.size() == 1)
        EnableDocumentCommands();
    return doc;
}

void TMainForm::PlaceNewDocument(QMdiSubWindow* sub, QMdiSubWindow* last) {
    // Cascaded from the document made last, or at the top-left corner where that would not fit;
    // never larger than the frame's area, so that no title-bar button lies out of reach.
    const QSize area = mdiArea_->viewport()->size();
    const QSize size = QSize(820, 470).boundedTo(area);
    QPoint at(0, 0);
    if (last && last->isVisible() && !last->isMaximized() && !last->isMinimized()) {
        const int step = sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub);
        at = last->pos() + QPoint(step, step);
        if (at.x() + size.width() > area.width() || at.y() + size.height() > area.height())
            at = QPoint(0, 0);
    }
    sub->setGeometry(QRect(at, size));
}

TMDIChild* TMainForm::OpenDocumentFile(const QString& path) {
    TMDIChild* doc = CreateDocument();
    doc->LoadFromFile(path);
    return doc;
}

void TMainForm::OpenDroppedFiles(const QStringList& paths) {
    RunReported(this, [&] {
        for (const QString& path : paths)
            OpenDocumentFile(path);
    });
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
    event->acceptProposedAction();
    OpenDroppedUrls(event->mimeData()->urls());
}

void TMainForm::OpenDroppedUrls(const QList<QUrl>& urls) {
    QStringList paths;
    for (const QUrl& url : urls)
        if (url.isLocalFile())
            paths << url.toLocalFile();
    OpenDroppedFiles(paths);
}

QMdiSubWindow* TMainForm::SubWindowOf(TMDIChild* doc) const {
    return doc ? qobject_cast<QMdiSubWindow*>(doc->parentWidget()) : nullptr;
}

TMDIChild* TMainForm::ActiveDocument() const {
    QMdiSubWindow* sub = mdiArea_->currentSubWindow();
    if (!sub)
        return nullptr;
    auto* doc = qobject_cast<TMDIChild*>(sub->widget());
    return std::find(docs_.begin(), docs_.end(), doc) != docs_.end() ? doc : nullptr;
}

void TMainForm::SubWindowActivated(QMdiSubWindow* sub) {
    auto* doc = sub ? qobject_cast<TMDIChild*>(sub->widget()) : nullptr;
    const auto it = std::find(docs_.begin(), docs_.end(), doc);
    if (!doc || it == docs_.end())
        return;
    std::rotate(docs_.begin(), it, it + 1);
    doc->WindowItem()->setChecked(true);
    undoGroup_->setActiveStack(doc->UndoStack());
}

void TMainForm::ActivateDocument(TMDIChild* doc) {
    if (QMdiSubWindow* sub = SubWindowOf(doc)) {
        if (sub->isMinimized())
            sub->showNormal();
        mdiArea_->setActiveSubWindow(sub);
    }
}

bool TMainForm::CloseDocument(TMDIChild* doc) {
    QMdiSubWindow* sub = SubWindowOf(doc);
    return sub && sub->close();
}

void TMainForm::DocumentClosing(TMDIChild* doc) {
    if (docs_.size() == 1 && docs_.front() == doc)
        DisableDocumentCommands();
    docs_.erase(std::remove(docs_.begin(), docs_.end(), doc), docs_.end());
    // Undo must not reach a document that is going away.
    undoGroup_->removeStack(doc->UndoStack());
}

void TMainForm::DocumentDestroyed(TMDIChild* doc) {
    if (shuttingDown_)
        return;
    const auto it = std::find(docs_.begin(), docs_.end(), doc);
    if (it != docs_.end()) {
        docs_.erase(it);
        if (docs_.empty())
            DisableDocumentCommands();
    }
}

void TMainForm::AcTileExecute() {
    mdiArea_->tileSubWindows();
}

void TMainForm::AcCascadeExecute() {
    mdiArea_->cascadeSubWindows();
}

void TMainForm::AcArrangeExecute() {
    // Minimised documents line up along the bottom of the frame, left to right.
    const QRect area = mdiArea_->viewport()->rect();
    int x = 0;
    int y = area.bottom();
    for (QMdiSubWindow* sub : mdiArea_->subWindowList(QMdiArea::CreationOrder)) {
        if (!sub->isMinimized())
            continue;
        const QSize size = sub->size();
        if (x > 0 && x + size.width() > area.width()) {
            x = 0;
            y -= size.height();
        }
        sub->move(x, y - size.height() + 1);
        x += size.width();
    }
}

} // namespace qmv
