// Command set: captions, shortcuts, menus, enabling.
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <functional>
#include <map>

#include "apptest.h"

namespace qmv::test {
namespace {

class CommandsTest : public AppTest {};

// Every command: the menu that shows it ("" for none), its shortcut, whether it needs a document.
struct CommandRow {
    const char* name;
    const char* menu;
    const char* shortcut;
    bool document;
};

const CommandRow Commands[] = {
    {"AcNewFile", "File", "", false},
    {"AcFileOpen", "File", "Ctrl+O", false},
    {"AcSave", "File", "Ctrl+S", true},
    {"AcSaveAs", "File", "", true},
    {"AcAllSave", "", "", false},
    {"AcFileClose", "File", "", true},
    {"AcAllClose", "File", "", true},
    {"AcSystemSet", "File", "", false},
    {"AcSetting", "File", "", false},
    {"AcPrintPreview", "File", "", true},
    {"AcPrint", "File", "Ctrl+P", true},
    {"AcAllPrint", "File", "", true},
    {"AcExit", "File", "", false},
    {"AcLoad", "Device", "F5", false},
    {"AcDelete", "Device", "", false},
    {"AcDate", "Device", "", false},
    {"AcPLXSet", "Device", "", false}, // hidden
    {"AcUndo", "Edit", "Ctrl+Z", false},
    {"AcRedo", "Edit", "Ctrl+Y", false},
    {"AcDataEdit", "Edit", "", true},
    {"AcDataCut", "Edit", "Ctrl+X", true},
    {"AcDataCopy", "Edit", "Ctrl+C", true},
    {"AcDataPaste", "Edit", "Ctrl+V", true},
    {"AcDeleteItem", "Edit", "Del", true},
    {"AcNoSort", "Sort", "", true},
    {"AcdBSort", "Sort", "", true},
    {"AcDateSort", "Sort", "", true},
    {"AcNoteSort", "Sort", "", true},
    {"AcGraphSUM", "Edit", "", true},
    {"AcTextSave", "Edit", "", true},
    {"AcPoint", "Graph", "", true},
    {"AcMarker", "Graph", "", true},
    {"AcStdLine", "Graph", "", true},
    {"AcGraphChange", "Graph", "", true},
    {"AcGraph", "Graph", "", true},
    {"AcGraphCopy", "Graph", "", true},
    {"AcTile", "Window", "", true},
    {"AcCascade", "Window", "", true},
    {"AcArrange", "Window", "", true},
    {"AcHelpContents", "Help", "F1", false},
    {"AcHelpSearch", "Help", "", false}, // hidden
    {"AcAbout", "Help", "", false},
    {"SecretMode", "Help", "Ctrl+Shift+F10", false}, // a hidden stand-in
};

void ExpectDocumentCommands(TMainForm& form, bool enabled) {
    for (const CommandRow& row : Commands) {
        ASSERT_NE(form.Command(row.name), nullptr) << row.name;
        // Undo and Redo follow the active document's steps, not the document count; hidden
        // entries count as disabled in Qt and are left out.
        const std::string name = row.name;
        if (name != "AcUndo" && name != "AcRedo" && name != "AcHelpSearch" && name != "AcPLXSet") {
            EXPECT_EQ(form.Command(row.name)->isEnabled(), !row.document || enabled) << row.name;
        }
    }
}

TEST_F(CommandsTest, DocumentCommandsFollowTheDocuments) {
    TMainForm& form = Form();
    int documentCommands = 0;
    for (const CommandRow& row : Commands)
        documentCommands += row.document;
    EXPECT_EQ(documentCommands, 27); // the 26 of the command set and the print preview
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

TEST_F(CommandsTest, EveryCommandHasItsMenuAndShortcut) {
    TMainForm& form = Form();
    std::map<QString, QString> menuOf; // command name to the caption of the menu that shows it
    std::function<void(QMenu*)> walk = [&](QMenu* menu) {
        for (QAction* a : menu->actions()) {
            if (a->menu())
                walk(a->menu());
            else if (!a->isSeparator())
                menuOf[a->objectName().isEmpty() ? a->text() : a->objectName()] = menu->title();
        }
    };
    for (QAction* a : form.menuBar()->actions())
        walk(a->menu());
    for (const CommandRow& row : Commands) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(form.Command(row.name)->shortcut(), QKeySequence(row.shortcut));
        EXPECT_EQ(menuOf[row.name], QString(row.menu));
    }
    // Hidden entries stay hidden.
    EXPECT_FALSE(form.Command("AcHelpSearch")->isVisible());
    EXPECT_FALSE(form.Command("AcPLXSet")->isVisible());

    QStringList buttons;
    for (QToolButton* b : form.ToolBar()->findChildren<QToolButton*>())
        if (!b->text().isEmpty())
            buttons << b->text();
    EXPECT_EQ(buttons, QStringList({"New", "Open", "Save", "Load", "Print", "Help"}));
    QStringList popup;
    for (QAction* a : form.MainPopup()->actions())
        popup << (a->isSeparator() ? "-" : a->objectName());
    EXPECT_EQ(popup, QStringList({"AcNewFile", "AcFileOpen", "AcSave", "AcFileClose", "AcAllClose",
                                  "-", "AcLoad", "-", "AcHelpContents"}));
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
}

TEST_F(CommandsTest, CaptionsComeFromTheLanguageFile) {
    TMainForm& form = Form();
    EXPECT_EQ(form.windowTitle(), "QMVwin - Sound Level Records[*]");
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
    EXPECT_EQ(titles, QStringList({"File", "Device", "Edit", "Graph", "Window", "Help"}));
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
    EXPECT_EQ(names(file),
              QStringList({"AcNewFile", "AcFileOpen", "AcHistory", "-", "AcSave", "AcSaveAs",
                           "AcFileClose", "AcAllClose", "-", "AcSystemSet", "-", "AcSetting",
                           "AcPrintPreview", "AcPrint", "AcAllPrint", "-", "AcExit"}));
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
                                         "AcGraph", "-", "AcGraphCopy"}));
    QMenu* help = form.menuBar()->actions().at(5)->menu();
    EXPECT_EQ(names(help), QStringList({"AcHelpContents", "AcHelpSearch", "-", "AcAbout", ""}));
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
