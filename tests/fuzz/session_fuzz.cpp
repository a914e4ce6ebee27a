// Whole editing sessions: one or more documents driven through the main window's own commands, in
// the order the input chooses, under code page 1252 or 932. After every step it checks what a user
// relies on: an unmodified document is what its file holds; undoing everything gives the document
// as it was opened and redoing everything gives it back; a step either changes the document and
// adds one undo step or changes nothing; every document can be shown, exported and laid out for
// printing; saving and reopening gives the same document.
#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTreeWidget>
#include <QUndoStack>
#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>

#include "app/mainform.h"
#include "data/codepage.h"
#include "data/profile.h"
#include "data/version.h"
#include "document/chartview.h"
#include "document/closedlg.h"
#include "document/graphsetdlg.h"
#include "document/ineditor.h"
#include "document/mdichild.h"
#include "document/recorddrag.h"
#include "document/undocommands.h"
#include "fuzzcheck.h"
#include "output/printlayout.h"
#include "output/textexport.h"
#include "tests/support/scripteddialogs.h"

namespace qmv::fuzz {
namespace {

struct Input {
    const std::uint8_t* p;
    std::size_t n;
    bool Empty() const { return n == 0; }
    int Byte() {
        if (n == 0)
            return 0;
        --n;
        return *p++;
    }
    int Pick(int k) { return Byte() % k; }
};

// Field values a record may carry: good ones, edge ones, and a few no row can show.
const char* const Levels[] = {"045", "120", "000", "999", "60", " 7", "x"};
const char* const Codes[] = {"0", "1", "2", "3", "9", "x"};
const char* const Dates[] = {"2010/05/31 14:05", "1999/12/31 23:59", "2038/01/19 03:14", "bad"};
const char* const Notes[] = {"", "site A", "\x81@ab", "caf\xE9\xA0", "\x82\xA0\x82\xA2"};
const char* const MemoLines[] = {"", "memo", "\x81\x40\xA0 kept", "\x83\x41\x83\x43", "caf\xE9"};

std::string Format(DocumentData d, bool maskStyle) {
    // The line/bar switch is a view of the document that no step of the history holds.
    if (maskStyle)
        d.BarGraph = false;
    std::string out;
    FUZZ_CHECK(FormatDataFile(d, VersionText(), out), "a document that cannot be written");
    return out;
}

DocumentData MakeDocument(Input& in) {
    DocumentData d;
    d.Model = 1 + in.Pick(4);
    d.BarGraph = in.Pick(2);
    const int count = in.Pick(8) == 0 ? 240 + in.Pick(11) : in.Pick(7);
    for (int i = 0; i < count; ++i) {
        const bool odd = in.Pick(16) == 0; // now and then a field no row can show
        recReadDataSeg r;
        r.DataNo = odd && in.Pick(2) ? "x" : std::to_string(10000 + in.Pick(100)).substr(1);
        r.Raw1 = r.Raw2 = r.Raw3 = "0100";
        r.MinDb = odd ? Levels[in.Pick(7)] : Levels[in.Pick(6)];
        r.Flag = Codes[in.Pick(5)];
        r.Date = Dates[in.Pick(4)];
        r.HpfCode = Codes[in.Pick(odd ? 6 : 5)];
        r.LpfCode = Codes[in.Pick(5)];
        r.NfCode = Codes[in.Pick(5)];
        r.NrCode = Codes[in.Pick(odd ? 6 : 5)];
        r.Note = Notes[in.Pick(5)];
        d.Records.push_back(r);
    }
    for (int i = in.Pick(7); i > 0; --i)
        d.Memo.push_back(MemoLines[in.Pick(5)]);
    return d;
}

class Session {
public:
    Session() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.filePath("config"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.filePath("config"));
        MainFormOptions o;
        o.languageFile = QStringLiteral(QMV_SOURCE_DIR "/lang/en/QMVLanguage.Lib");
        o.programFolder = dir_.path() + QLatin1Char('/');
        o.screenSize = QSize(1366, 768);
        form_ = std::make_unique<TMainForm>(o);
        form_->show();
        form_->CloseDialog().SetAnswerHook([](TCloseDlg&) { return TCloseDlg::NoSaveAnswer; });
    }

    void Run(Input& in) {
        SetActiveCodePage(in.Pick(2) ? 932 : 1252);
        while (!in.Empty() && steps_++ < 64) {
            Step(in);
            CheckAll();
        }
        for (TMDIChild* doc : std::vector<TMDIChild*>(form_->Documents()))
            Close(doc);
        form_->Clipboard() = {};
        dialogs_.reset(); // the next session starts with nothing scripted or shown
        dialogs_ = std::make_unique<test::ScriptedDialogs>();
        starts_.clear();
        shown_.clear();
        steps_ = 0;
    }

private:
    TMDIChild* Active() const { return form_->ActiveDocument(); }

    QString NewPath() { return dir_.filePath(QStringLiteral("f%1.q27").arg(files_++)); }

    QString WriteFile(const std::string& bytes) {
        const QString path = NewPath();
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly) &&
                       f.write(bytes.data(), bytes.size()) == static_cast<qint64>(bytes.size()),
                   "scratch file");
        return path;
    }

    // A document that arrives is remembered as it came: undoing everything leads back there.
    void Open(const QString& path) {
        form_->OpenDroppedFiles({path});
        Remember();
    }
    void Remember() {
        for (TMDIChild* doc : form_->Documents())
            if (!starts_.count(doc))
                starts_[doc] = Format(doc->Data(), true);
    }
    void Close(TMDIChild* doc) {
        starts_.erase(doc);
        shown_.erase(doc);
        form_->ActivateDocument(doc);
        form_->Command("AcFileClose")->trigger();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    struct State {
        std::string bytes;
        int sortMode, index, count;
        RecordClipboard clip;
    };
    State Snapshot(TMDIChild* doc) const {
        return {Format(doc->Data(), false), doc->SortMode(), doc->UndoStack()->index(),
                doc->UndoStack()->count(), form_->Clipboard()};
    }
    static bool SameClip(const RecordClipboard& a, const RecordClipboard& b) {
        return a.ClipRecords == b.ClipRecords && a.ClipModel == b.ClipModel;
    }

    // A step of the history: it changed the document and added one step, or changed nothing and
    // added none (and then a paste left the clipboard alone).
    void CheckStep(TMDIChild* doc, const State& before, bool clipKept) {
        const State after = Snapshot(doc);
        if (after.bytes != before.bytes || after.sortMode != before.sortMode) {
            FUZZ_CHECK(after.index == before.index + 1 && after.count == after.index,
                       "a change without exactly one undo step");
            FUZZ_CHECK(doc->Modified(), "a change that left the document unmodified");
        } else {
            FUZZ_CHECK(after.index == before.index && after.count == before.count,
                       "an undo step that changed nothing");
            FUZZ_CHECK(!clipKept || SameClip(after.clip, before.clip),
                       "a refused step changed the clipboard");
        }
    }

    static bool DragOnto(QWidget* target, const QMimeData* mime, QPoint pos) {
        const auto actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(pos, actions, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDragMoveEvent move(pos, actions, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        QDropEvent drop(QPointF(pos), actions, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }
    static QPoint RowPos(TMDIChild* doc, int row) {
        QTreeWidgetItem* item = doc->Info->topLevelItem(row);
        return item ? doc->Info->visualItemRect(item).center() : QPoint(5, 5);
    }

    // A key that types a character no US keyboard has.
    static void TypeText(QWidget* w, const QString& text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
        QApplication::sendEvent(w, &press);
    }

    void Trigger(const char* command) { form_->Command(command)->trigger(); }

    void Step(Input& in) {
        const int op = in.Pick(22);
        static const bool trace = qEnvironmentVariableIsSet("QMV_FUZZ_TRACE");
        if (trace)
            std::fprintf(stderr, "step %d: op %d, %zu documents\n", steps_, op,
                         form_->Documents().size());
        if (op == 0) {
            Open(WriteFile(in.Pick(8) == 0 ? std::string(reinterpret_cast<const char*>(in.p),
                                                         std::min<std::size_t>(in.n, 200))
                                           : Format(MakeDocument(in), false)));
            return;
        }
        if (op == 1) {
            Trigger("AcNewFile");
            Remember();
            return;
        }
        TMDIChild* doc = Active();
        if (!doc)
            return;
        const int rows = doc->RecordCount();
        const State before = Snapshot(doc);
        switch (op) {
        case 2: // select rows
            doc->Info->clearSelection();
            for (int i = 0, mask = in.Byte(); i < rows && i < 8; ++i)
                if (mask & (1 << i))
                    doc->Info->topLevelItem((i * 7 + in.Pick(3)) % rows)->setSelected(true);
            return;
        case 3: { // bring another document to the front
            const auto& docs = form_->Documents();
            form_->ActivateDocument(docs[in.Pick(static_cast<int>(docs.size()))]);
            return;
        }
        case 4:
            Trigger("AcDataCut");
            return CheckStep(doc, before, false);
        case 5:
            Trigger("AcDataCopy");
            return CheckStep(doc, before, false);
        case 6:
            Trigger("AcDataPaste");
            return CheckStep(doc, before, true);
        case 7:
            if (in.Pick(4) == 0)
                dialogs_->messageAnswers.push_back(IdCancel);
            Trigger("AcDeleteItem");
            return CheckStep(doc, before, false);
        case 8: { // a drag within the document, onto its list
            std::unique_ptr<QMimeData> mime(doc->Dragger().Start());
            if (mime)
                DragOnto(doc->Info->viewport(), mime.get(), RowPos(doc, in.Pick(rows + 1)));
            doc->Dragger().End();
            return CheckStep(doc, before, false);
        }
        case 9: { // a drag onto another document, which comes to the front
            const auto& docs = form_->Documents();
            TMDIChild* target = docs[in.Pick(static_cast<int>(docs.size()))];
            if (target == doc)
                return;
            const State onTarget = Snapshot(target);
            std::unique_ptr<QMimeData> mime(doc->Dragger().Start());
            if (mime && DragOnto(in.Pick(2) ? target->Info->viewport() : target->Chart1->viewport(),
                                 mime.get(), RowPos(target, in.Pick(target->RecordCount() + 1))))
                FUZZ_CHECK(Active() == target, "a drop left its document behind");
            doc->Dragger().End();
            CheckStep(doc, before, false);
            return CheckStep(target, onTarget, false);
        }
        case 10: { // the record editor
            const int choice = in.Pick(4);
            const QString date = QString::fromLatin1(Dates[in.Pick(4)]);
            const QString note = QString::fromStdString(Notes[in.Pick(5)]);
            const int level = in.Byte();
            const int model = in.Pick(4);
            form_->InEditor().SetShowHook([&](TInEditor& e) {
                if (choice == 3)
                    return e.btnCancelClick();
                if (choice == 2)
                    return e.btnDeleteClick();
                if (choice == 1) {
                    e.meNichiji->setText(date);
                    e.edNote->setText(note);
                    e.seOnatsu->setValue(level);
                    e.cbModelList->setCurrentIndex(model % std::max(e.cbModelList->count(), 1));
                }
                e.btnSetteiClick();
            });
            Trigger("AcDataEdit");
            return CheckStep(doc, before, false);
        }
        case 11: {
            const char* sorts[] = {"AcNoSort", "AcdBSort", "AcDateSort", "AcNoteSort"};
            Trigger(sorts[in.Pick(4)]);
            return CheckStep(doc, before, false);
        }
        case 12: { // typing into the memo
            QTextCursor cursor = doc->Memo1->textCursor();
            cursor.setPosition(in.Byte() % (doc->Memo1->toPlainText().size() + 1));
            doc->Memo1->setTextCursor(cursor);
            const std::vector<std::string> was = doc->Data().Memo;
            const int line = cursor.blockNumber();
            int backspaces = 0, deletes = 0; // the keys that can reach another line
            const Qt::Key keys[] = {Qt::Key_A, Qt::Key_Return, Qt::Key_Backspace, Qt::Key_Delete};
            for (int i = in.Pick(4); i >= 0; --i) {
                const int k = in.Pick(6);
                backspaces += k == 2;
                deletes += k == 3;
                if (k < 4)
                    QTest::keyClick(doc->Memo1, keys[k]);
                else
                    TypeText(doc->Memo1,
                             k == 4 ? QStringLiteral("\u00e9") : QStringLiteral("\u30a2"));
            }
            if (Format(doc->Data(), false) != before.bytes)
                FUZZ_CHECK(doc->Modified() && doc->UndoStack()->canUndo(), "typing without a step");
            // Lines the keys could not reach keep their bytes.
            const std::vector<std::string> now = doc->Data().Memo;
            const int head = std::max(0, line - backspaces);
            const int tail = std::max(0, int(was.size()) - 1 - line - deletes);
            FUZZ_CHECK(now.size() >= std::size_t(head + tail) &&
                           std::equal(was.begin(), was.begin() + head, now.begin()) &&
                           std::equal(was.end() - tail, was.end(), now.end() - tail),
                       "typing rewrote memo lines it did not reach");
            return;
        }
        case 13: { // graph settings
            const int max = in.Byte() * 4, min = in.Byte(), level = in.Byte() * 4;
            const bool bar = in.Pick(2);
            form_->GraphSetDialog().SetShowHook([&](TGraphSetDlg& d) {
                d.seMax->setValue(max);
                d.seMin->setValue(min);
                d.seStd->setValue(level);
                (bar ? d.rbBarGraph : d.rbLineGraph)->setChecked(true);
                d.btnSetteiClick();
            });
            Trigger("AcGraph");
            return CheckStep(doc, before, false);
        }
        case 14: {
            const std::string was = Format(doc->Data(), true);
            Trigger("AcGraphChange");
            FUZZ_CHECK(Format(doc->Data(), true) == was &&
                           doc->UndoStack()->index() == before.index,
                       "the line/bar switch became a step");
            return;
        }
        case 15: { // merge one or more files
            QStringList files;
            for (int i = in.Pick(3); i >= 0; --i)
                files << WriteFile(Format(MakeDocument(in), false));
            dialogs_->openAnswers = {files};
            Trigger("AcGraphSUM");
            return CheckStep(doc, before, false);
        }
        case 16:
        case 17: { // a step taken back or again changes what it changed, not the line/bar switch
            QUndoStack* stack = doc->UndoStack();
            const QString step = op == 16 ? stack->undoText() : stack->redoText();
            const bool bar = doc->BarGraph();
            Trigger(op == 16 ? "AcUndo" : "AcRedo");
            FUZZ_CHECK(step == UndoStepName("MenuG4") || doc->BarGraph() == bar,
                       "undo or redo threw the line/bar switch");
            return;
        }
        case 18:
            dialogs_->saveAnswers = {NewPath()};
            return Trigger(in.Pick(2) ? "AcSave" : "AcSaveAs");
        case 19: { // everything undone, then everything redone
            QUndoStack* stack = doc->UndoStack();
            while (stack->canRedo())
                stack->redo();
            const std::string was = Format(doc->Data(), true);
            while (stack->canUndo())
                stack->undo();
            FUZZ_CHECK(Format(doc->Data(), true) == starts_[doc],
                       "undoing everything does not give the document as it came");
            while (stack->canRedo())
                stack->redo();
            FUZZ_CHECK(Format(doc->Data(), true) == was,
                       was + "\n-- redone everything: --\n" + Format(doc->Data(), true));
            return;
        }
        case 20: { // saved under a new name and opened again
            const QString path = NewPath();
            dialogs_->saveAnswers = {path};
            Trigger("AcSaveAs");
            if (doc->Modified() || doc->FileName() != path)
                return; // nothing to save, or the save failed and said so
            Open(path);
            TMDIChild* again = Active();
            FUZZ_CHECK(again != doc, "a saved document does not open again");
            FUZZ_CHECK(Format(again->Data(), false) == Format(doc->Data(), false),
                       Format(doc->Data(), false) + "\n-- reopens as --\n" +
                           Format(again->Data(), false));
            return Close(again);
        }
        default:
            return Close(doc);
        }
    }

    // What holds after every step, for every document.
    void CheckAll() {
        for (TMDIChild* doc : form_->Documents()) {
            const DocumentData d = doc->Data();
            std::string& seen = shown_[doc];
            const std::string now = Format(d, false);
            if (seen != now) {
                seen = now;
                try {
                    CheckForDisplay(d);
                    FormatTextExport("caption", "model", d, InterfaceTexts());
                    LayOutPrint(
                        {2400, 3400, 60}, PrintOptions{}, "caption", "model", d, InterfaceTexts(),
                        [](const std::string& bytes) { return 20 * int(bytes.size()); },
                        ActiveCodePage());
                } catch (const std::exception& e) {
                    Fail(__FILE__, __LINE__, "a document that cannot be shown", e.what());
                }
            }
            const bool empty = d.Records.empty() && doc->MemoEmpty();
            if (doc->IsNewDocument())
                FUZZ_CHECK(empty || doc->Modified(), "an unsaved document counts as saved");
            if (doc->Modified() || doc->IsNewDocument())
                continue;
            // Unmodified: saving would write what the file holds.
            QFile f(doc->FileName());
            FUZZ_CHECK(f.open(QIODevice::ReadOnly), "the file of an unmodified document is gone");
            const QByteArray disk = f.readAll();
            DocumentData onDisk;
            ParseDataFile(disk.toStdString(), onDisk);
            FUZZ_CHECK(Format(onDisk, true) == Format(d, true),
                       "an unmodified document differs from its file");
        }
    }

    QTemporaryDir dir_;
    std::unique_ptr<test::ScriptedDialogs> dialogs_ = std::make_unique<test::ScriptedDialogs>();
    std::unique_ptr<TMainForm> form_;
    std::map<TMDIChild*, std::string> starts_;
    std::map<TMDIChild*, std::string> shown_; // the bytes last shown, exported and laid out
    int files_ = 0;
    int steps_ = 0;
};

} // namespace
} // namespace qmv::fuzz

namespace {
QApplication* g_app = nullptr;
qmv::fuzz::Session* g_session = nullptr;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static int argc = 1;
    static char name[] = "session_fuzz";
    static char* argv[] = {name, nullptr};
    if (!g_app) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        g_app = new QApplication(argc, argv);
        g_session = new qmv::fuzz::Session;
    }
    qmv::fuzz::Input in{data, size};
    g_session->Run(in);
    return 0;
}

#ifdef QMV_LIBFUZZER_RUN
// A fuzzing run ends without taking the application down (Qt's own statics go first), so what
// the font library caches for it would count as leaked at exit. The replay frees it instead.
extern "C" const char* __asan_default_options() {
    return "detect_leaks=0";
}
#endif

// The session before the application, while Qt is still whole.
extern "C" void QmvFuzzAtEnd() {
    delete g_session;
    delete g_app;
}
