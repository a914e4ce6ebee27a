// Command set: captions, shortcuts, menus, enabling.
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

#include "apptest.h"

namespace qmv::test {
namespace {

class CommandsTest : public AppTest {};

const char* const BuiltDocumentCommands[] = {
    "AcSave",      "AcSaveAs",     "AcFileClose",   "AcAllClose",  "AcNoSort",
    "AcdBSort",    "AcDateSort",   "AcNoteSort",    "AcTextSave",  "AcPoint",
    "AcMarker",    "AcStdLine",    "AcGraphChange", "AcGraphCopy", "AcTile",
    "AcCascade",   "AcArrange",    "AcDataEdit",    "AcDataCut",   "AcDataCopy",
    "AcDataPaste", "AcDeleteItem", "AcPrint",       "AcAllPrint",  "AcPrintPreview"};

void ExpectDocumentCommands(TMainForm& form, bool enabled) {
    for (const char* name : BuiltDocumentCommands) {
        ASSERT_NE(form.Command(name), nullptr) << name;
        EXPECT_EQ(form.Command(name)->isEnabled(), enabled) << name;
    }
    // Commands outside the document set always work.
    for (const char* name : {"AcNewFile", "AcFileOpen", "AcExit", "AcAllSave", "AcSetting"})
        EXPECT_TRUE(form.Command(name)->isEnabled()) << name;
}

TEST_F(CommandsTest, DocumentCommandsFollowTheDocuments) {
    TMainForm& form = Form();
    ExpectDocumentCommands(form, false);

    form.Command("AcNewFile")->trigger();
    ExpectDocumentCommands(form, true);
    form.Command("AcNewFile")->trigger();
    form.Command("AcFileClose")->trigger();
    ExpectDocumentCommands(form, true); // one is still open
    form.Command("AcFileClose")->trigger();
    EXPECT_TRUE(form.Documents().empty());
    ExpectDocumentCommands(form, false);

    form.Command("AcNewFile")->trigger();
    ExpectDocumentCommands(form, true);
}

TEST_F(CommandsTest, SaveFollowsModifiedWhenIdle) {
    TMainForm& form = Form();
    form.Command("AcNewFile")->trigger();
    TMDIChild* doc = form.ActiveDocument();
    ASSERT_NE(doc, nullptr);
    form.UpdateCommandStates();
    EXPECT_FALSE(form.Command("AcSave")->isEnabled());
    doc->SetModified(true);
    form.UpdateCommandStates();
    EXPECT_TRUE(form.Command("AcSave")->isEnabled());
    doc->Memo1->setPlainText("typed");
    doc->SetModified(false);
    doc->Memo1->document()->setModified(true);
    doc->Memo1->insertPlainText("x"); // a keystroke marks the document
    EXPECT_TRUE(doc->Modified());
}

TEST_F(CommandsTest, ShortcutsAreTheKeyCodesOfTheCommandTable) {
    EXPECT_EQ(ShortCutKey(16463), QKeySequence("Ctrl+O"));
    EXPECT_EQ(ShortCutKey(16467), QKeySequence("Ctrl+S"));
    EXPECT_EQ(ShortCutKey(16464), QKeySequence("Ctrl+P"));
    EXPECT_EQ(ShortCutKey(116), QKeySequence("F5"));
    EXPECT_EQ(ShortCutKey(112), QKeySequence("F1"));
    EXPECT_EQ(ShortCutKey(24697), QKeySequence("Ctrl+Shift+F10"));
    TMainForm& form = Form();
    EXPECT_EQ(form.Command("AcFileOpen")->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(form.Command("AcSave")->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(form.Command("AcPrint")->shortcut(), QKeySequence("Ctrl+P"));
}

TEST_F(CommandsTest, CaptionsComeFromTheLanguageFile) {
    TMainForm& form = Form();
    EXPECT_EQ(form.windowTitle(), "QMVwin - Sound Level Records");
    EXPECT_EQ(form.Command("AcFileOpen")->text(), "Open...");
    EXPECT_EQ(form.Command("AcNoteSort")->text(), "By Note");
    EXPECT_EQ(form.Command("AcGraphCopy")->text(), "Copy Graph");
    EXPECT_EQ(form.Command("AcAllSave")->text(), ""); // takes no text from the file
    // The toolbar has its own shorter words; the menu keeps the command's caption.
    QStringList buttons;
    for (QToolButton* b : form.ToolBar()->findChildren<QToolButton*>())
        if (!b->text().isEmpty())
            buttons << b->text();
    EXPECT_TRUE(buttons.contains("Open")) << buttons.join(',').toStdString();
    EXPECT_TRUE(buttons.contains("New"));
    EXPECT_TRUE(buttons.contains("Save"));

    QStringList titles;
    for (QAction* a : form.menuBar()->actions())
        if (a->isVisible())
            titles << a->text();
    EXPECT_EQ(titles, QStringList({"File", "Device", "Edit", "Graph", "Window"}));
}

TEST_F(CommandsTest, MenusHoldTheCommandsInOrder) {
    TMainForm& form = Form();
    auto names = [](QMenu* menu) {
        QStringList out;
        for (QAction* a : menu->actions())
            out << (a->isSeparator() ? "-" : a->menu() ? "sub" : a->objectName());
        return out;
    };
    QMenu* file = form.menuBar()->actions().at(0)->menu();
    EXPECT_EQ(names(file), QStringList({"AcNewFile", "AcFileOpen", "-", "AcSave", "AcSaveAs",
                                        "AcFileClose", "AcAllClose", "-", "-", "AcSetting",
                                        "AcPrint", "AcAllPrint", "-", "AcExit"}));
    QMenu* edit = form.menuBar()->actions().at(2)->menu();
    EXPECT_EQ(names(edit), QStringList({"AcUndo", "AcRedo", "-", "AcDataEdit", "AcDataCut",
                                        "AcDataCopy", "AcDataPaste", "AcDeleteItem", "-", "sub",
                                        "-", "AcGraphSUM", "AcTextSave"}));
    QMenu* sort = nullptr;
    for (QAction* a : edit->actions())
        sort = a->menu() ? a->menu() : sort;
    ASSERT_NE(sort, nullptr);
    EXPECT_EQ(sort->title(), "Sort"); // MenuE5 captions the submenu
    EXPECT_EQ(names(sort), QStringList({"AcNoSort", "AcdBSort", "AcDateSort", "AcNoteSort"}));
    QMenu* graph = form.menuBar()->actions().at(3)->menu();
    EXPECT_EQ(names(graph), QStringList({"AcPoint", "AcMarker", "AcStdLine", "-", "AcGraphChange",
                                         "-", "AcGraphCopy"}));
}

TEST_F(CommandsTest, WithoutTheLanguageFileEverythingStillWorks) {
    MainFormOptions o = Options();
    o.languageFile = Path("missing.Lib");
    form_ = std::make_unique<TMainForm>(o);
    form_->show();
    EXPECT_EQ(form_->Command("AcFileOpen")->text(), "");
    form_->Command("AcNewFile")->trigger();
    ASSERT_EQ(form_->Documents().size(), 1u);
    EXPECT_EQ(form_->ActiveDocument()->Caption(), " 1");
    EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(CommandsTest, ChartSwitchesRedrawEveryDocument) {
    TMainForm& form = Form();
    std::vector<QString> files;
    for (int i = 0; i < 4; ++i)
        files.push_back(WriteDoc(QString("d%1.q27").arg(i), LoggerDoc({"100", "300"})));
    form.OpenDroppedFiles({files[0], files[1], files[2], files[3]});
    ASSERT_EQ(form.Documents().size(), 4u);
    for (TMDIChild* doc : form.Documents())
        EXPECT_EQ(doc->Chart1->Shown().series[Series4Points].DrawnCount(), 0);
    form.Command("AcPoint")->trigger();
    EXPECT_TRUE(form.Command("AcPoint")->isChecked());
    for (TMDIChild* doc : form.Documents())
        EXPECT_EQ(doc->Chart1->Shown().series[Series4Points].DrawnCount(), 2);
    form.Command("AcPoint")->trigger();
    for (TMDIChild* doc : form.Documents())
        EXPECT_EQ(doc->Chart1->Shown().series[Series4Points].DrawnCount(), 0);
}

TEST_F(CommandsTest, LineBarChangeLeavesModifiedAlone) {
    TMainForm& form = Form();
    form.OpenDroppedFiles({WriteDoc("a.q27", LoggerDoc({"100", "300"}))});
    TMDIChild* doc = form.ActiveDocument();
    form.Command("AcGraphChange")->trigger();
    EXPECT_TRUE(doc->BarGraph());
    EXPECT_FALSE(doc->Modified());
    EXPECT_EQ(doc->Chart1->Shown().series[Series6Bars].DrawnCount(), 2);
    EXPECT_EQ(doc->Chart1->Shown().series[Series1Levels].DrawnCount(), 0);
    // The mode reaches the file with the next save.
    doc->SetModified(true);
    form.Command("AcSave")->trigger();
    DocumentData back;
    ASSERT_EQ(LoadDataFile(Path("a.q27").toStdString(), back).status, LoadStatus::Ok);
    EXPECT_TRUE(back.BarGraph);
}

TEST_F(CommandsTest, WindowMenuListsTheDocuments) {
    TMainForm& form = Form();
    form.Command("AcNewFile")->trigger();
    form.Command("AcNewFile")->trigger();
    QStringList entries;
    for (QAction* a : form.WindowMenu()->actions())
        if (!a->isSeparator() && a->objectName().isEmpty())
            entries << a->text();
    EXPECT_EQ(entries, QStringList({"Untitled 1", "Untitled 2"}));
    TMDIChild* first = form.Documents().back();
    EXPECT_FALSE(first->WindowItem()->isChecked());
    first->WindowItem()->trigger();
    EXPECT_EQ(form.ActiveDocument(), first);
    EXPECT_TRUE(first->WindowItem()->isChecked());
    EXPECT_EQ(form.Documents().front(), first);
}

} // namespace
} // namespace qmv::test
