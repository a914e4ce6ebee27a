// The record clipboard, deletion and drag and drop in the window: the commands and the Delete
// key reach the operations, their messages come from the language file, several rows are
// selected as in any desktop list, and drags run through the real drag and drop handlers with
// synthesized events (a real drag loop cannot run offscreen).
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QUndoStack>
#include <algorithm>
#include <functional>

#include "apptest.h"
#include "document/panelbar.h"
#include "document/recorddrag.h"

namespace qmv::test {
namespace {

class ClipboardTest : public AppTest {
protected:
    TMDIChild* Open(const DocumentData& d, const QString& name) {
        if (!form_)
            Form();
        form_->OpenDroppedFiles({WriteDoc(name, d)});
        return form_->ActiveDocument();
    }

    // count logger records with levels from 101 on.
    static DocumentData Many(int count) {
        DocumentData d;
        d.Model = ModelQMV27;
        for (int i = 0; i < count; ++i)
            d.Records.push_back(LoggerRecord(i + 1, std::to_string(101 + i), "2010/05/31 14:00"));
        return d;
    }

    static void Select(TMDIChild* doc, const std::vector<int>& rows) {
        doc->Info->clearSelection();
        for (int r : rows)
            doc->Info->topLevelItem(r)->setSelected(true);
    }

    static QStringList Levels(TMDIChild* doc) {
        QStringList out;
        for (const recReadDataSeg& r : doc->Records())
            out << QString::fromStdString(r.MinDb);
        return out;
    }

    // A drag's enter, move and drop on target at pos; whether the drop was taken.
    static bool DragOnto(QWidget* target, const QMimeData* mime, QPoint pos = QPoint(5, 5)) {
        QDragEnterEvent enter(pos, Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDragMoveEvent move(pos, Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton,
                            Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        QDropEvent drop(QPointF(pos), Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton,
                        Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }

    static QPoint RowPos(TMDIChild* doc, int row) {
        return doc->Info->visualItemRect(doc->Info->topLevelItem(row)).center();
    }
};

TEST_F(ClipboardTest, CommandsMessagesAndTheRefresh) {
    TMDIChild* sensor = Open(LoggerDoc({"100", "200", "300"}), "a.q27");
    Select(sensor, {0, 2});
    form_->Command("AcDataCopy")->trigger();
    EXPECT_EQ(form_->Clipboard().ClipCount(), 2);
    EXPECT_FALSE(sensor->Modified());

    // Paste into an empty new document: the logger's details list appears.
    form_->Command("AcNewFile")->trigger();
    TMDIChild* fresh = form_->ActiveDocument();
    ASSERT_TRUE(fresh->ListView1->isHidden());
    form_->Command("AcDataPaste")->trigger();
    EXPECT_EQ(Levels(fresh), QStringList({"100", "300"}));
    EXPECT_EQ(fresh->Model(), ModelQMV27);
    EXPECT_FALSE(fresh->ListView1->isHidden());
    EXPECT_EQ(fresh->SelectedIndex(), 1);
    EXPECT_EQ(fresh->ListView1->topLevelItem(2)->text(1), "300"); // details of the selected row
    EXPECT_EQ(fresh->stbModel->Text(1), "QMV-27");
    EXPECT_TRUE(fresh->Modified());
    EXPECT_EQ(form_->Clipboard().ClipCount(), 0);

    // Cut from a sensor document, paste into the logger one: refused with the model warning.
    DocumentData d;
    d.Model = ModelGZNMax;
    d.Records = {SensorRecord(1, "40", "2011/01/01 00:00")};
    TMDIChild* other = Open(d, "b.q27");
    Select(other, {0});
    form_->Command("AcDataCut")->trigger();
    EXPECT_EQ(other->RecordCount(), 0);
    EXPECT_EQ(other->Model(), ModelNone);
    form_->ActivateDocument(fresh);
    form_->Command("AcDataPaste")->trigger();
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].text,
              "These records are from a different model.\r\nRecords of different models cannot "
              "be put in one document.");
    EXPECT_EQ(dialogs_.messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(fresh->RecordCount(), 2);

    // Too many: the confirmation-style box, nothing changes.
    TMDIChild* big = Open(Many(249), "c.q27");
    form_->ActivateDocument(fresh);
    Select(fresh, {0, 1});
    form_->Command("AcDataCopy")->trigger();
    form_->ActivateDocument(big);
    form_->Command("AcDataPaste")->trigger();
    ASSERT_EQ(dialogs_.messages.size(), 2u);
    EXPECT_EQ(dialogs_.messages[1].text, "A document can hold at most 250 records.\r\nSelect "
                                         "fewer records.");
    EXPECT_EQ(dialogs_.messages[1].kind, MessageKind::Confirmation);
    EXPECT_EQ(big->RecordCount(), 249);
    EXPECT_EQ(form_->Clipboard().ClipCount(), 2);
    // Sorting keeps its scratch to itself: the clipboard still holds what was copied.
    const std::vector<recReadDataSeg> copied = form_->Clipboard().ClipRecords;
    form_->Command("AcdBSort")->trigger();
    form_->Command("AcdBSort")->trigger();
    EXPECT_EQ(form_->Clipboard().ClipRecords, copied);
}

TEST_F(ClipboardTest, CtrlCCopiesTextInTheMemoAndRecordsInTheList) {
    TMDIChild* doc = Open(LoggerDoc({"100", "200"}), "a.q27");
    doc->SetMemoLines({"memo"});
    doc->Memo1->selectAll();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    for (QWidget* focus : {static_cast<QWidget*>(doc->Memo1), static_cast<QWidget*>(doc->Info)}) {
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key_C, Qt::ControlModifier);
    }
    EXPECT_EQ(QApplication::clipboard()->text(), "memo"); // the list's copy leaves it alone
    EXPECT_EQ(form_->Clipboard().ClipCount(), 1);
}

TEST_F(ClipboardTest, DeleteAsksFirstFromTheMenuTheKeyAndThePopup) {
    TMDIChild* doc = Open(LoggerDoc({"100", "200", "300", "400"}), "a.q27");
    Select(doc, {1, 2});
    dialogs_.messageAnswers.push_back(IdCancel);
    form_->Command("AcDeleteItem")->trigger();
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].text, "Delete the selected record(s)?");
    EXPECT_EQ(dialogs_.messages[0].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(doc->RecordCount(), 4);
    EXPECT_FALSE(doc->Modified());

    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    doc->Info->setFocus();
    QTest::keyClick(doc->Info, Qt::Key_Delete);
    EXPECT_EQ(Levels(doc), QStringList({"100", "400"}));
    EXPECT_EQ(doc->SelectedIndex(), 1);

    // With nothing selected the key asks nothing.
    doc->Info->clearSelection();
    QTest::keyClick(doc->Info, Qt::Key_Delete);
    EXPECT_EQ(dialogs_.messages.size(), 2u);

    // The record list's pop-up menu offers the same commands.
    QStringList popup;
    for (QMenu* m : doc->findChildren<QMenu*>())
        for (QAction* a : m->actions())
            popup << a->objectName();
    for (const char* name : {"AcDataCut", "AcDataCopy", "AcDataPaste", "AcDeleteItem"})
        EXPECT_TRUE(popup.contains(name)) << name;
}

TEST_F(ClipboardTest, RowsAreSelectedWithShiftAndCtrl) {
    TMDIChild* doc = Open(Many(6), "a.q27");
    QWidget* vp = doc->Info->viewport();
    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, RowPos(doc, 1));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, RowPos(doc, 3));
    EXPECT_EQ(doc->SelectedIndexes(), std::vector<int>({1, 2, 3}));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, RowPos(doc, 5));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, RowPos(doc, 2));
    EXPECT_EQ(doc->SelectedIndexes(), std::vector<int>({1, 3, 5}));

    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, RowPos(doc, 0));
    QTest::keyClick(doc->Info, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(doc->Info, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(doc->SelectedIndexes(), std::vector<int>({0, 1, 2}));
}

TEST_F(ClipboardTest, DraggingSelectedRowsStartsARecordDragThatEndsWithAnEmptyClipboard) {
    TMDIChild* doc = Open(Many(4), "a.q27");
    Select(doc, {0, 2});
    auto* list = dynamic_cast<TRecordList*>(doc->Info);
    ASSERT_NE(list, nullptr);
    std::vector<int> carried;
    const auto start = list->dragStarter;
    list->dragStarter = [&] {
        carried = doc->SelectedIndexes();
        start(); // the drag loop returns at once offscreen
    };
    QWidget* vp = doc->Info->viewport();
    const QPoint from = RowPos(doc, 2);
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(vp, from + QPoint(0, 10));
    QTest::mouseMove(vp, from + QPoint(0, 30));
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, from + QPoint(0, 30));
    EXPECT_EQ(carried, std::vector<int>({0, 2})); // pressing a selected row keeps the others
    EXPECT_EQ(form_->Clipboard().ClipCount(), 0);
    EXPECT_EQ(form_->Clipboard().DragSourceTag, -1);
}

TEST_F(ClipboardTest, DragToAnotherDocumentCopies) {
    TMDIChild* source = Open(LoggerDoc({"100", "200", "300"}), "a.q27");
    TMDIChild* target = Open(LoggerDoc({"900", "800"}), "b.q27");
    form_->ActivateDocument(source); // the drag starts in the document in front
    Select(source, {0, 2});
    std::unique_ptr<QMimeData> mime(source->Dragger().Start());
    ASSERT_TRUE(mime);
    EXPECT_FALSE(mime->hasText()); // another program gets nothing to paste
    EXPECT_EQ(form_->Clipboard().ClipCount(), 2);

    ASSERT_TRUE(DragOnto(target->Info->viewport(), mime.get(), RowPos(target, 0)));
    source->Dragger().End();
    EXPECT_EQ(Levels(target), QStringList({"900", "100", "300", "800"}));
    EXPECT_EQ(target->SelectedIndex(), 1);
    EXPECT_TRUE(target->Modified());
    EXPECT_EQ(form_->ActiveDocument(), target); // where Undo reaches the drop
    EXPECT_EQ(Levels(source), QStringList({"100", "200", "300"})); // the source keeps them
    EXPECT_FALSE(source->Modified());
    EXPECT_EQ(form_->Clipboard().ClipCount(), 0);

    // Every other control of a document takes the drop too, after the last row.
    QWidget* others[] = {target->ListView1->viewport(), target->Chart1->viewport(), target->stbAtai,
                         target->Memo1->viewport(), target->StaticText1};
    for (QWidget* w : others) {
        Select(source, {1});
        mime.reset(source->Dragger().Start());
        const int before = target->RecordCount();
        EXPECT_TRUE(DragOnto(w, mime.get()));
        source->Dragger().End();
        ASSERT_EQ(target->RecordCount(), before + 1);
        EXPECT_EQ(target->Records().back().MinDb, "200");
    }
    EXPECT_TRUE(target->Memo1->toPlainText().isEmpty());
}

TEST_F(ClipboardTest, DragWithinADocumentMovesOnlyOntoItsList) {
    TMDIChild* doc = Open(Many(5), "a.q27");
    Select(doc, {0, 1});
    std::unique_ptr<QMimeData> mime(doc->Dragger().Start());
    ASSERT_TRUE(DragOnto(doc->Info->viewport(), mime.get(), RowPos(doc, 3)));
    doc->Dragger().End();
    EXPECT_EQ(Levels(doc), QStringList({"103", "104", "101", "102", "105"}));
    EXPECT_EQ(doc->SelectedIndex(), 3);
    EXPECT_EQ(form_->Clipboard().ClipCount(), 0);

    // Onto its own chart, or onto the first selected row: nothing changes.
    const QStringList now = Levels(doc);
    Select(doc, {1});
    mime.reset(doc->Dragger().Start());
    EXPECT_TRUE(DragOnto(doc->Chart1->viewport(), mime.get()));
    EXPECT_TRUE(DragOnto(doc->Info->viewport(), mime.get(), RowPos(doc, 1)));
    doc->Dragger().End();
    EXPECT_EQ(Levels(doc), now);
    EXPECT_EQ(doc->UndoStack()->count(), 1);
}

TEST_F(ClipboardTest, ForeignDragsCarryNothingAndCancelledDragsEmptyTheClipboard) {
    TMDIChild* doc = Open(Many(2), "a.q27");
    QMimeData text;
    text.setText("00001,0100");
    EXPECT_FALSE(DragOnto(doc->Info->viewport(), &text));
    // Our type from another process, or when no drag of ours runs, is refused as well.
    QMimeData forged;
    forged.setData(RecordMimeType, "1 0");
    EXPECT_FALSE(DragOnto(doc->Chart1->viewport(), &forged));
    Select(doc, {0});
    form_->Command("AcDataCopy")->trigger();
    std::unique_ptr<QMimeData> mime(doc->Dragger().Start());
    doc->Dragger().End(); // released outside any document
    EXPECT_EQ(form_->Clipboard().ClipCount(), 0);
    EXPECT_FALSE(DragOnto(doc->Info->viewport(), mime.get()));
    EXPECT_EQ(Levels(doc), QStringList({"101", "102"}));
    EXPECT_FALSE(doc->Modified());

    // Files dragged from the desktop onto a document still open as documents.
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(WriteDoc("f.q27", Many(1)))});
    EXPECT_TRUE(DragOnto(doc->Memo1->viewport(), &files));
    EXPECT_EQ(form_->Documents().size(), 2u);
    EXPECT_EQ(form_->ActiveDocument()->Caption(), "f.q27");
}

TEST_F(ClipboardTest, TheListScrollsWhileADragHoversAtItsEdges) {
    TMDIChild* doc = Open(Many(60), "a.q27");
    QMdiSubWindow* sub = form_->MdiArea()->currentSubWindow();
    sub->resize(820, 470);
    QTreeWidget* list = doc->Info;
    Select(doc, {0});
    std::unique_ptr<QMimeData> mime(doc->Dragger().Start());
    const auto topRow = [&] { return list->indexAt(QPoint(1, 1)).row(); };
    ASSERT_EQ(topRow(), 0);
    const QPoint bottom(5, list->viewport()->height() - 2);
    QDragEnterEvent enter(bottom, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &enter);
    QDragMoveEvent move(bottom, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &move);
    QApplication::sendEvent(list->viewport(), &move);
    EXPECT_EQ(topRow(), 2);
    QDragMoveEvent up(QPoint(5, 2), Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &up);
    EXPECT_EQ(topRow(), 1);
    doc->Dragger().End();
}

TEST_F(ClipboardTest, EveryOperationIsUndoneToTheBytesASaveWouldWrite) {
    TMDIChild* other = Open(Many(3), "b.q27");
    DocumentData six = Many(6);
    std::reverse(six.Records.begin(), six.Records.end()); // so that sorting changes something
    TMDIChild* doc = Open(six, "a.q27");
    const auto bytes = [](TMDIChild* d) {
        std::string out;
        EXPECT_TRUE(FormatDataFile(d->Data(), VersionText(), out));
        return out;
    };
    const std::vector<std::pair<const char*, std::function<void()>>> operations = {
        {"cut", [&] { form_->Command("AcDataCut")->trigger(); }},
        {"paste",
         [&] {
             form_->ActivateDocument(other);
             Select(other, {0, 1});
             form_->Command("AcDataCopy")->trigger();
             form_->ActivateDocument(doc);
             form_->Command("AcDataPaste")->trigger();
         }},
        {"delete", [&] { form_->Command("AcDeleteItem")->trigger(); }},
        {"drop from another document",
         [&] {
             Select(other, {2});
             std::unique_ptr<QMimeData> mime(other->Dragger().Start());
             DragOnto(doc->Chart1->viewport(), mime.get());
             other->Dragger().End();
         }},
        {"move",
         [&] {
             std::unique_ptr<QMimeData> mime(doc->Dragger().Start());
             DragOnto(doc->Info->viewport(), mime.get(), RowPos(doc, 5));
             doc->Dragger().End();
         }},
        {"sort", [&] { form_->Command("AcdBSort")->trigger(); }},
    };
    for (const auto& [name, run] : operations) {
        SCOPED_TRACE(name);
        form_->ActivateDocument(doc);
        Select(doc, {1, 3});
        const std::string before = bytes(doc);
        run();
        const std::string after = bytes(doc);
        ASSERT_NE(after, before);
        ASSERT_TRUE(doc->Modified());
        form_->Command("AcUndo")->trigger();
        EXPECT_EQ(bytes(doc), before);
        EXPECT_FALSE(doc->Modified());
        form_->Command("AcRedo")->trigger();
        EXPECT_EQ(bytes(doc), after);
        form_->Command("AcUndo")->trigger();
    }
    EXPECT_EQ(bytes(other), [&] {
        std::string out;
        FormatDataFile(Many(3), VersionText(), out);
        return out;
    }());
}

} // namespace
} // namespace qmv::test
