#include "mainform.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPrinter>
#include <QScreen>
#include <QSettings>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QUndoGroup>
#include <algorithm>
#include <stdexcept>

#include "aboutbox.h"
#include "data/paths.h"
#include "data/profile.h"
#include "device/devicelink.h"
#include "device/tfmcomm.h"
#include "device/windowcommandui.h"
#include "document/closedlg.h"
#include "document/graphsetdlg.h"
#include "document/ineditor.h"
#include "document/mdichild.h"
#include "output/printsetdlg.h"
#include "output/textexport.h"
#include "programicon.h"
#include "serial/okbottomdlg.h"
#include "systemsetdlg.h"
#include "ui/errorreport.h"
#include "ui/modalkeeper.h"
#include "ui/platformdialogs.h"
#include "ui/uitext.h"

namespace qmv {

// A tool button that runs a command but keeps a caption of its own, since the language file may
// give the toolbar shorter words than the menus.
class CommandButton : public QToolButton {
public:
    CommandButton(QAction* action, QWidget* parent) : QToolButton(parent), action_(action) {
        setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        // 54 by 35 pixels, taller where the font needs it for the caption under the image.
        setFixedWidth(54);
        setMinimumHeight(35);
        setIconSize(QSize(16, 16));
        setIcon(action->icon());
        setAutoRaise(true);
        connect(this, &QToolButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::changed, this, [this] { Sync(); });
        Sync();
    }

private:
    void Sync() {
        setEnabled(action_->isEnabled());
        setToolTip(action_->text().remove(QLatin1Char('&')));
    }
    QAction* action_;
};

struct TMainForm::CommandDef {
    const char* name;
    const char* textKey; // key of section "Main", nullptr: no text from the language file
    int shortcut;        // key code with modifier bits (Ctrl+S is 16467), 0: none
    bool checkable;
    QStyle::StandardPixmap icon; // SP_CustomBase: none
    void (TMainForm::*execute)();
};

namespace {

// The commands that act on a document; they are greyed while no document window exists.
const char* const DocumentCommandNames[] = {
    "AcSave",     "AcSaveAs",   "AcFileClose",   "AcAllClose",  "AcPrint",      "AcAllPrint",
    "AcDataEdit", "AcDataCut",  "AcDataCopy",    "AcDataPaste", "AcDeleteItem", "AcNoSort",
    "AcdBSort",   "AcDateSort", "AcNoteSort",    "AcGraphSUM",  "AcTextSave",   "AcPoint",
    "AcMarker",   "AcStdLine",  "AcGraphChange", "AcGraph",     "AcGraphCopy",  "AcTile",
    "AcCascade",  "AcArrange",  "AcPrintPreview"};

constexpr QStyle::StandardPixmap NoIcon = QStyle::SP_CustomBase;

} // namespace

QKeySequence ShortCutKey(int code) {
    // Low byte: a virtual key code (letters and digits as their characters, F1 to F24 from 112);
    // modifier bits Shift 0x2000, Ctrl 0x4000, Alt 0x8000.
    const int vk = code & 0xFF;
    int key = 0;
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
        key = vk;
    else if (vk >= 112 && vk <= 135)
        key = Qt::Key_F1 + (vk - 112);
    else
        return QKeySequence();
    Qt::KeyboardModifiers mods;
    if (code & 0x2000)
        mods |= Qt::ShiftModifier;
    if (code & 0x4000)
        mods |= Qt::ControlModifier;
    if (code & 0x8000)
        mods |= Qt::AltModifier;
    return QKeySequence(QKeyCombination(mods, static_cast<Qt::Key>(key)));
}

const std::vector<TMainForm::CommandDef>& TMainForm::CommandTable() {
    // One row per command of this build. A command of a later part of the program joins by
    // adding its row here and its name to the menu lists below.
    static const std::vector<CommandDef> table = {
        {"AcNewFile", "MenuF0", 0, false, QStyle::SP_FileIcon, &TMainForm::AcNewFileExecute},
        {"AcFileOpen", "MenuF1", 16463, false, QStyle::SP_DialogOpenButton,
         &TMainForm::AcFileOpenExecute},
        {"AcHistory", "MenuF12", 0, false, NoIcon, &TMainForm::AcHistoryExecute},
        {"AcSave", "MenuF2", 16467, false, QStyle::SP_DialogSaveButton, &TMainForm::AcSaveExecute},
        {"AcSaveAs", "MenuF3", 0, false, NoIcon, &TMainForm::AcSaveAsExecute},
        {"AcAllSave", nullptr, 0, false, NoIcon, &TMainForm::AcAllSaveExecute},
        {"AcFileClose", "MenuF4", 0, false, NoIcon, &TMainForm::AcFileCloseExecute},
        {"AcAllClose", "MenuF5", 0, false, NoIcon, &TMainForm::AcAllCloseExecute},
        {"AcSystemSet", "MenuF6", 0, false, NoIcon, &TMainForm::AcSystemSetExecute},
        {"AcSetting", "MenuF7", 0, false, NoIcon, &TMainForm::AcSettingExecute},
        {"AcPrint", "MenuF8", 16464, false, QStyle::SP_FileDialogContentsView,
         &TMainForm::AcPrintExecute},
        {"AcAllPrint", "MenuF9", 0, false, NoIcon, &TMainForm::AcAllPrintExecute},
        {"AcPrintPreview", "MenuF11", 0, false, NoIcon, &TMainForm::AcPrintPreviewExecute},
        {"AcExit", "MenuF10", 0, false, NoIcon, &TMainForm::AcExitExecute},
        {"AcNoSort", "MenuE6", 0, false, NoIcon, &TMainForm::AcNoSortExecute},
        {"AcdBSort", "MenuE7", 0, false, NoIcon, &TMainForm::AcdBSortExecute},
        {"AcDateSort", "MenuE8", 0, false, NoIcon, &TMainForm::AcDateSortExecute},
        {"AcNoteSort", "MenuE9", 0, false, NoIcon, &TMainForm::AcNoteSortExecute},
        {"AcTextSave", "MenuE11", 0, false, NoIcon, &TMainForm::AcTextSaveExecute},
        {"AcGraphSUM", "MenuE10", 0, false, NoIcon, &TMainForm::AcGraphSUMExecute},
        {"AcDataEdit", "MenuE0", 0, false, NoIcon, &TMainForm::AcDataEditExecute},
        {"SecretMode", nullptr, 24697, false, NoIcon, &TMainForm::SecretModeExecute},
        {"AcDataCut", "MenuE1", 0, false, NoIcon, &TMainForm::AcDataCutExecute},
        {"AcDataCopy", "MenuE2", 0, false, NoIcon, &TMainForm::AcDataCopyExecute},
        {"AcDataPaste", "MenuE3", 0, false, NoIcon, &TMainForm::AcDataPasteExecute},
        {"AcDeleteItem", "MenuE4", 0, false, NoIcon, &TMainForm::AcDeleteItemExecute},
        {"AcUndo", nullptr, 16474, false, NoIcon, &TMainForm::AcUndoExecute},
        {"AcRedo", nullptr, 16473, false, NoIcon, &TMainForm::AcRedoExecute},
        {"AcPoint", "MenuG0", 0, true, NoIcon, &TMainForm::AcPointExecute},
        {"AcMarker", "MenuG1", 0, true, NoIcon, &TMainForm::AcMarkerExecute},
        {"AcStdLine", "MenuG2", 0, true, NoIcon, &TMainForm::AcStdLineExecute},
        {"AcGraphChange", "MenuG3", 0, false, NoIcon, &TMainForm::AcGraphChangeExecute},
        {"AcGraph", "MenuG4", 0, false, NoIcon, &TMainForm::AcGraphExecute},
        {"AcGraphCopy", "MenuG5", 0, false, NoIcon, &TMainForm::AcGraphCopyExecute},
        {"AcTile", "MenuW0", 0, false, NoIcon, &TMainForm::AcTileExecute},
        {"AcCascade", "MenuW1", 0, false, NoIcon, &TMainForm::AcCascadeExecute},
        {"AcArrange", "MenuW2", 0, false, NoIcon, &TMainForm::AcArrangeExecute},
        {"AcLoad", "MenuM0", 116, false, QStyle::SP_ArrowDown, &TMainForm::AcLoadExecute},
        {"AcDelete", "MenuM1", 0, false, NoIcon, &TMainForm::AcDeleteExecute},
        {"AcDate", "MenuM2", 0, false, NoIcon, &TMainForm::AcDateExecute},
        {"AcPLXSet", "MenuM3", 0, false, NoIcon, &TMainForm::AcPLXSetExecute},
        {"AcHelpContents", "MenuH0", 112, false, QStyle::SP_DialogHelpButton,
         &TMainForm::AcHelpContentsExecute},
        {"AcHelpSearch", "MenuH1", 0, false, NoIcon, &TMainForm::AcHelpSearchExecute},
        {"AcAbout", "MenuH2", 0, false, NoIcon, &TMainForm::AcAboutExecute},
    };
    return table;
}

TMainForm::TMainForm(MainFormOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)) {
    if (options_.programFolder.isEmpty())
        options_.programFolder = QString::fromStdString(ProgramFolder());
    screen_ = options_.screenSize;
    if (screen_.isEmpty() && QGuiApplication::primaryScreen())
        screen_ = QGuiApplication::primaryScreen()->geometry().size();

    mdiArea_ = new QMdiArea(this);
    mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setContextMenuPolicy(Qt::CustomContextMenu);
    // Closing the active document brings back the one used before it, as in the frame's order.
    mdiArea_->setActivationOrder(QMdiArea::ActivationHistoryOrder);
    setCentralWidget(mdiArea_);
    connect(mdiArea_, &QMdiArea::subWindowActivated, this,
            [this](QMdiSubWindow* sub) { SubWindowActivated(sub); });
    windowItems_ = new QActionGroup(this);
    windowItems_->setExclusive(true);

    setAcceptDrops(true); // files dropped from the desktop open as documents

    CreateCommands();
    SetUpUndo();
    SetUpRecordKeys();
    BuildMenus();
    BuildToolBar();
    connect(mdiArea_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { popupMain_->exec(mdiArea_->mapToGlobal(pos)); });

    // The long-lived windows in their order of creation: the connection prompt, the save
    // prompt, the communication state window.
    okBottomDlg_ = std::make_unique<TOKBottomDlg>(this);
    closeDlg_ = std::make_unique<TCloseDlg>(this);
    inEditor_ = std::make_unique<TInEditor>(this);
    fmComm_ = std::make_unique<TfmComm>(this);
    graphSetDlg_ = std::make_unique<TGraphSetDlg>(*this, this);
    systemSetDlg_ = std::make_unique<TSystemSetDlg>(settings_.DataFolder, this);
    aboutBox_ = std::make_unique<TAboutBox>(this);
    printSetDlg_ = std::make_unique<TPrintSetDlg>(this);
    setWindowIcon(ProgramIcon());
    link_ = std::make_unique<DeviceLink>();
    commandUi_ = std::make_unique<WindowCommandUi>(this, okBottomDlg_.get());
    link_->SetUi(commandUi_.get());

    ReadSettingsStore();
    // The window manager may minimise a modal dialog that the program then waits for.
    qApp->installEventFilter(new ModalDialogKeeper(this));

    // The idle update of AcSave: whenever the event loop is about to wait.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                [this] { UpdateCommandStates(); });
}

TMainForm::~TMainForm() {
    // Documents go first, while this window can still take their last calls.
    shuttingDown_ = true;
    // Closed windows wait for a deferred delete and are no longer listed by the area.
    const QList<QMdiSubWindow*> subs = mdiArea_->findChildren<QMdiSubWindow*>();
    for (QMdiSubWindow* sub : subs)
        delete sub;
    docs_.clear();
    link_->SetUi(nullptr);
}

void TMainForm::CreateCommands() {
    for (const CommandDef& def : CommandTable()) {
        auto* action = new QAction(this);
        action->setObjectName(QLatin1String(def.name));
        action->setCheckable(def.checkable);
        if (def.shortcut)
            action->setShortcut(ShortCutKey(def.shortcut));
        if (def.icon != NoIcon)
            action->setIcon(style()->standardIcon(def.icon));
        const auto execute = def.execute;
        connect(action, &QAction::triggered, this,
                [this, execute] { RunReported(this, [&] { (this->*execute)(); }); });
        addAction(action); // shortcuts work even while the menu bar is hidden
        commands_[def.name] = action;
    }
}

QAction* TMainForm::Command(const char* name) const {
    const auto it = commands_.find(name);
    return it == commands_.end() ? nullptr : it->second;
}

void TMainForm::BuildMenus() {
    // "-" is a separator, ">MenuE5" opens the sort submenu, "<" closes it. Names of commands this
    // build lacks are skipped; QMenu collapses the separators that are left dangling.
    const std::vector<std::pair<const char*, std::vector<const char*>>> layout = {
        {"MenuF",
         {"AcNewFile", "AcFileOpen", "AcHistory", "-", "AcSave", "AcSaveAs", "AcFileClose",
          "AcAllClose", "-", "AcSystemSet", "-", "AcSetting", "AcPrintPreview", "AcPrint",
          "AcAllPrint", "-", "AcExit"}},
        {"MenuM", {"AcLoad", "AcDelete", "AcDate", "-", "AcPLXSet"}},
        {"MenuE",
         {"AcUndo", "AcRedo", "-", "AcDataEdit", "AcDataCut", "AcDataCopy", "AcDataPaste",
          "AcDeleteItem", "-", ">MenuE5", "AcNoSort", "AcdBSort", "AcDateSort", "AcNoteSort", "<",
          "-", "AcGraphSUM", "AcTextSave"}},
        {"MenuG",
         {"AcPoint", "AcMarker", "AcStdLine", "-", "AcGraphChange", "AcGraph", "-", "AcGraphCopy"}},
        {"MenuW", {"AcTile", "AcCascade", "AcArrange", "-"}},
        {"MenuH", {"AcHelpContents", "AcHelpSearch", "-", "AcAbout", "SecretMode"}},
    };
    for (const auto& [key, items] : layout) {
        QMenu* menu = menuBar()->addMenu(QString());
        menus_[key] = menu;
        QMenu* target = menu;
        for (const char* item : items) {
            const std::string name(item);
            if (name == "-") {
                target->addSeparator();
            } else if (name[0] == '>') {
                target = menu->addMenu(QString());
                menus_[name.substr(1)] = target;
            } else if (name == "<") {
                target = menu;
            } else if (name == "SecretMode") {
                // A hidden action loses its shortcut in Qt, so the menu holds a hidden stand-in
                // and the command itself, on the window, keeps Ctrl+Shift+F10 working.
                QAction* entry = target->addAction(QStringLiteral("SecretMode"));
                entry->setVisible(false);
                connect(entry, &QAction::triggered, Command(item), &QAction::trigger);
            } else if (QAction* a = Command(item)) {
                target->addAction(a);
            }
        }
        // A menu whose commands all belong to later parts of the program stays out of sight.
        bool any = false;
        for (QAction* a : menu->actions())
            any = any || (!a->isSeparator() && a->isVisible());
        menu->menuAction()->setVisible(any);
    }
    // The PLX01 timing command is reached only through qmvtool: its entry and the separator
    // before it stay hidden for the whole run (trigger() still runs it).
    if (QAction* plx = Command("AcPLXSet")) {
        const QList<QAction*> items = menus_["MenuM"]->actions();
        const auto at = items.indexOf(plx);
        plx->setVisible(false);
        if (at > 0 && items[at - 1]->isSeparator())
            items[at - 1]->setVisible(false);
    }
    // The search entry of the help menu has no search behind it and stays out of sight.
    if (QAction* search = Command("AcHelpSearch"))
        search->setVisible(false);
    menuWindow_ = menus_["MenuW"];
    // The window list follows the last separator, one entry per document.
    menuWindow_->setSeparatorsCollapsible(false);

    popupMain_ = new QMenu(this);
    for (const char* item : {"AcNewFile", "AcFileOpen", "AcSave", "AcFileClose", "AcAllClose", "-",
                             "AcLoad", "-", "AcHelpContents"}) {
        if (std::string(item) == "-")
            popupMain_->addSeparator();
        else if (QAction* a = Command(item))
            popupMain_->addAction(a);
    }
}

void TMainForm::BuildToolBar() {
    toolBar_ = addToolBar(QString());
    toolBar_->setObjectName(QStringLiteral("ToolBar1"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->toggleViewAction()->setVisible(false);
    const std::pair<const char*, const char*> items[] = {
        {"AcNewFile", "ToolButton0"},     {"AcFileOpen", "ToolButton1"},
        {"AcSave", "ToolButton2"},        {"-", nullptr},
        {"AcLoad", "ToolButton3"},        {"-", nullptr},
        {"AcPrint", "ToolButton4"},       {"-", nullptr},
        {"AcHelpContents", "ToolButton5"}};
    bool pendingSeparator = false;
    for (const auto& [name, key] : items) {
        if (std::string(name) == "-") {
            pendingSeparator = !toolButtons_.empty();
            continue;
        }
        QAction* action = Command(name);
        if (!action)
            continue;
        if (pendingSeparator)
            toolBar_->addSeparator();
        pendingSeparator = false;
        auto* button = new CommandButton(action, toolBar_);
        toolBar_->addWidget(button);
        toolButtons_.emplace_back(button, key);
    }
}

void TMainForm::LoadTexts() {
    InterfaceTexts().Clear();
    if (!options_.languageFile.isEmpty())
        InterfaceTexts().Load(LocalPath(options_.languageFile));

    setWindowTitle(ModifiableTitle(Tx("Main", "Caption")));
    for (const auto& [key, menu] : menus_)
        menu->setTitle(Tx("Main", key.c_str()));
    for (const CommandDef& def : CommandTable())
        if (def.textKey)
            commands_[def.name]->setText(Tx("Main", def.textKey));
    // After the command captions, so that a tool button may read differently from its menu entry.
    for (const auto& [button, key] : toolButtons_)
        button->setText(Tx("Main", key));
    UpdateUndoCommands();
}

void TMainForm::ReadSettingsStore() {
    auto store = OpenSettingsStore();
    settings_ = ReadSettings(*store, screen_,
                             DefaultDataFolder(options_.programFolder, options_.privileged));
    SensorModelIndex = settings_.DListIndex;
    resize(settings_.Width, settings_.Height);
    move(settings_.Left, settings_.Top);
    Command("AcPoint")->setChecked(settings_.Point);
    Command("AcMarker")->setChecked(settings_.Marker);
    Command("AcStdLine")->setChecked(settings_.StdLine);
    if (settings_.DataFolder == DefaultDataFolder(options_.programFolder, options_.privileged))
        QDir().mkpath(settings_.DataFolder);
}

void TMainForm::WriteSettingsStore() {
    settings_.DListIndex = SensorModelIndex;
    settings_.WindowSt = isMinimized() ? 1 : isMaximized() ? 2 : 0;
    const bool normal = settings_.WindowSt == 0;
    if (normal) {
        settings_.Width = width();
        settings_.Height = height();
        settings_.Top = y();
        settings_.Left = x();
    }
    settings_.Point = Command("AcPoint")->isChecked();
    settings_.Marker = Command("AcMarker")->isChecked();
    settings_.StdLine = Command("AcStdLine")->isChecked();
    auto store = OpenSettingsStore();
    WriteSettings(*store, settings_, normal);
}

std::unique_ptr<QSettings> TMainForm::OpenSettingsStore() const {
    if (options_.openSettings)
        return options_.openSettings();
    return std::make_unique<QSettings>(QStringLiteral("Brasketon"), QStringLiteral("QMV27Win"));
}

void TMainForm::ShowAtStart() {
    switch (settings_.WindowSt) {
    case 1:
        showMinimized();
        break;
    case 2:
        showMaximized();
        break;
    default:
        show();
        break;
    }
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        RunReported(this, [this] { FormShow(); });
    }
}

void TMainForm::FormShow() {
    shown_ = true;
    DocCounter = 0;
    NewFileCounter = 1;
    HiddenEditMode = false;
    LoadTexts();
    DisableDocumentCommands();
    // Before any file is opened; a bare view-only start is no place for the question.
    const QStringList& args = options_.arguments;
    if (!(args.size() > 1 && args[1] == QLatin1String("M")))
        OfferRecovery();
    ApplyCommandLine();
}

void TMainForm::ApplyCommandLine() {
    const QStringList& args = options_.arguments;
    ViewOnlyStart = false;
    if (args.size() > 1 && args[1] == QLatin1String("M")) {
        // Top, left, height, width, each when given.
        for (int k = 2; k <= 5 && k < args.size(); ++k) {
            if (args[k].isEmpty())
                continue;
            const int v = StrToInt(FromQ(args[k]));
            switch (k) {
            case 2:
                move(x(), v);
                break;
            case 3:
                move(v, y());
                break;
            case 4:
                resize(width(), v);
                break;
            case 5:
                resize(v, height());
                break;
            }
        }
        ViewOnlyStart = true;
    }
    if (!args.isEmpty() && !args[0].isEmpty()) {
        TMDIChild* doc = OpenDocumentFile(args[0]);
        if (ViewOnlyStart) {
            toolBar_->hide();
            menuBar()->hide();
            doc->MakeViewOnly();
        }
    }
    // A file manager hands over every file chosen: each after the first opens in a window of its
    // own, in the order given.
    if (!ViewOnlyStart)
        for (int k = 1; k < args.size(); ++k)
            if (!args[k].isEmpty())
                OpenDocumentFile(args[k]);
}

TCloseDlg& TMainForm::CloseDialog() {
    return *closeDlg_;
}

ChartSwitches TMainForm::Switches() const {
    return {Command("AcPoint")->isChecked(), Command("AcMarker")->isChecked(),
            Command("AcStdLine")->isChecked()};
}

QString TMainForm::DataFolder() const {
    // Never empty, so that no file is written to the file system's root.
    return settings_.DataFolder.trimmed().isEmpty()
               ? DefaultDataFolder(options_.programFolder, options_.privileged)
               : settings_.DataFolder;
}

bool TMainForm::AskDataFilePath(QWidget* parent, const QString& folder, const QString& fileName,
                                QString& path) {
    FileDialogRequest request;
    request.folder = folder;
    request.fileName = fileName;
    request.defaultExt = QStringLiteral("q27");
    request.filter = QLatin1String(SaveFilter);
    return Dialogs().SaveFile(parent, request, path);
}

void TMainForm::EnableDocumentCommands() {
    for (const char* name : DocumentCommandNames)
        if (QAction* a = Command(name))
            a->setEnabled(true);
}

void TMainForm::DisableDocumentCommands() {
    for (const char* name : DocumentCommandNames)
        if (QAction* a = Command(name))
            a->setEnabled(false);
}

void TMainForm::UpdateCommandStates() {
    TMDIChild* doc = ActiveDocument();
    if (doc)
        Command("AcSave")->setEnabled(doc->Modified());
    // The frame's title marks unsaved changes of the document in front.
    // Only a change is passed on: every setting retitles the window, which wakes the event loop
    // and brings this update round again.
    const bool mark = doc && doc->Modified();
    if ((doc || docs_.empty()) && mark != isWindowModified())
        setWindowModified(mark);
}

bool TMainForm::DeviceCommandRunning() const {
    return commandUi_->Busy() || link_->Comm1.IsOpen();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    // A close box still works on a disabled window. Closing in the middle of an exchange would
    // ask the save questions from inside the command's waits, over greyed windows, and cut the
    // transfer off; the user closes again once the command has ended.
    if (DeviceCommandRunning()) {
        Dialogs().Beep();
        event->ignore();
        return;
    }
    const std::vector<TMDIChild*> docs = docs_;
    for (TMDIChild* doc : docs) {
        bool mayClose = false;
        RunReported(this, [&] { mayClose = doc->CloseQuery(); });
        if (!mayClose) {
            event->ignore();
            return;
        }
    }
    RunReported(this, [this] { WriteSettingsStore(); });
    event->accept();
}

// File commands.

} // namespace qmv
