// The main window: a frame of document windows, the program's commands, its settings.
#pragma once

#include <QKeySequence>
#include <QMainWindow>
#include <QSize>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "document/documenthost.h"
#include "settings.h"

class QActionGroup;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QPrinter;
class QSettings;
class QToolBar;
class QUndoGroup;

namespace qmv {

class TMDIChild;
class TCloseDlg;
class RecoveryClaim;
struct OrphanRecord;
class CommandButton;
class DeviceLink;
class WindowCommandUi;
class TOKBottomDlg;
class TfmComm;
class TInEditor;
class TPrintSetDlg;
class TGraphSetDlg;
class TSystemSetDlg;
class TAboutBox;

// Filters of the main window's file dialogs.
extern const char* const OpenFilter;
extern const char* const SaveFilter;
extern const char* const TextFilter;

struct MainFormOptions {
    QStringList arguments; // command line without the program name
    QString languageFile;  // read when the window is first shown; empty: no texts
    QString programFolder; // ends in "/"; empty: the executable's folder
    QSize screenSize;      // empty: the primary screen
    // Run by root (sudo for the port, say): the default data folder is then in root's home.
    bool privileged = false;
    // Opens the settings store; empty: QSettings("Brasketon", "QMV27Win").
    std::function<std::unique_ptr<QSettings>()> openSettings;
};

// The name Save All gives a document: caption, "_", the first record's date as yymmddhhnn,
// "_", stamp (the time of saving, yymmddhhnn), "_", number. Characters of the date part that are
// not digits become "_", and so do path delimiters in the caption: the name stays one file name.
// Save All adds " (2)", " (3)", ... where a file of the name is already there.
QString AllSaveFileName(const QString& caption, const std::string& firstDate, const QString& stamp,
                        int number);

// A shortcut written as a key code with modifier bits (Ctrl+O 16463, F5 116, Ctrl+Shift+F10
// 24697) as a key sequence; an empty one for codes it does not know.
QKeySequence ShortCutKey(int code);

class TMainForm : public QMainWindow, public DocumentHost {
    Q_OBJECT
public:
    explicit TMainForm(MainFormOptions options = {}, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Shows the window in the state the settings store recorded.
    void ShowAtStart();
    // The show-time steps: counters, texts, command enabling, command line. Runs once, on the
    // first show; exceptions reach the general error report.
    void FormShow();

    // Documents.
    TMDIChild* ActiveDocument() const override;
    // Document windows in the frame's order: the most recently active first.
    const std::vector<TMDIChild*>& Documents() const { return docs_; }
    // A new, shown, empty document window with the next Tag, not yet captioned by a creator.
    TMDIChild* CreateDocument();
    // Asks the document to close, as its close box does. True when it closed.
    bool CloseDocument(TMDIChild* doc);
    // Files dropped on the window, in order; a file that cannot be opened reaches the error
    // report and stops the rest.
    void OpenDroppedFiles(const QStringList& paths);

    int DocCounter = 0;
    int NewFileCounter = 1;
    bool HiddenEditMode = false;
    bool ViewOnlyStart = false;
    int SensorModelIndex = 0;

    ProgramSettings& Settings() { return settings_; }
    QMdiArea* MdiArea() const { return mdiArea_; }
    QToolBar* ToolBar() const { return toolBar_; }
    QMenu* WindowMenu() const { return menuWindow_; }
    QMenu* MainPopup() const { return popupMain_; }
    TCloseDlg& CloseDialog() override;

    // The link every device command runs on, with the window's own steps around a command
    // (connection prompt, hourglass, disabling the frame) installed.
    DeviceLink& Link() { return *link_; }
    TOKBottomDlg& ConnectPrompt() { return *okBottomDlg_; }
    // The state window shown while records are downloaded.
    TfmComm& CommWindow() { return *fmComm_; }
    // A device command is running: the window is disabled and the port may be open.
    bool DeviceCommandRunning() const;

    // Commands.
    QAction* Command(const char* name) const override;
    void EnableDocumentCommands();
    void DisableDocumentCommands();
    // The idle update: AcSave and the title's mark of unsaved changes follow the active
    // document's Modified.
    void UpdateCommandStates();

    void AcNewFileExecute();
    void AcFileOpenExecute();
    void AcHistoryExecute();
    void AcSaveExecute();
    void AcSaveAsExecute();
    void AcAllSaveExecute();
    void AcFileCloseExecute();
    void AcAllCloseExecute();
    void AcExitExecute();
    void AcNoSortExecute();
    void AcdBSortExecute();
    void AcDateSortExecute();
    void AcNoteSortExecute();
    void AcTextSaveExecute();
    // Merges a chosen data file into the active document (mainform_merge.cpp).
    void AcGraphSUMExecute();
    // The record editor and the hidden edit mode (mainform_editor.cpp).
    void AcDataEditExecute();
    void SecretModeExecute();
    // Opens the record editor on the selected row of doc, when it has one.
    void OpenRecordEditor(TMDIChild* doc);
    TInEditor& InEditor() { return *inEditor_; }
    // Edit commands on the record clipboard and the undo steps (mainform_edit.cpp).
    void AcDataCutExecute();
    void AcDataCopyExecute();
    void AcDataPasteExecute();
    void AcDeleteItemExecute();
    void AcUndoExecute();
    void AcRedoExecute();
    QUndoGroup* UndoGroup() const { return undoGroup_; }
    void AcPointExecute();
    void AcMarkerExecute();
    void AcStdLineExecute();
    void AcGraphChangeExecute();
    void AcGraphCopyExecute();
    void AcGraphExecute();
    TGraphSetDlg& GraphSetDialog() { return *graphSetDlg_; }
    // The settings, help and version commands (mainform_help.cpp).
    void AcSystemSetExecute();
    void AcHelpContentsExecute();
    void AcHelpSearchExecute();
    void AcAboutExecute();
    TSystemSetDlg& SystemSetDialog() { return *systemSetDlg_; }
    TAboutBox& AboutBox() { return *aboutBox_; }
    // Printing and the print settings (mainform_print.cpp).
    void AcSettingExecute();
    void AcPrintExecute();
    void AcAllPrintExecute();
    void AcPrintPreviewExecute();
    TPrintSetDlg& PrintSetDialog() { return *printSetDlg_; }
    // The printer every print command prints on, made on first use; it keeps what the print
    // dialog chose for the next job.
    QPrinter& Printer();
    void AcTileExecute();
    void AcCascadeExecute();
    void AcArrangeExecute();
    // Device commands (mainform_download.cpp, mainform_device.cpp).
    void AcLoadExecute();
    void AcDeleteExecute();
    void AcDateExecute();
    void AcPLXSetExecute();

    // DocumentHost.
    ChartSwitches Switches() const override;
    QString DataFolder() const override;
    RecordClipboard& Clipboard() override { return clipboard_; }
    void OpenDroppedUrls(const QList<QUrl>& urls) override;
    int DocumentCount() const override { return static_cast<int>(docs_.size()); }
    void DocumentClosing(TMDIChild* doc) override;
    void DocumentDestroyed(TMDIChild* doc) override;
    void ActivateDocument(TMDIChild* doc) override;
    bool AskDataFilePath(QWidget* parent, const QString& folder, const QString& fileName,
                         QString& path) override;
    void SaveAllDocuments() override { AcAllSaveExecute(); }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct CommandDef;
    static const std::vector<CommandDef>& CommandTable();

    void CreateCommands();
    void BuildMenus();
    void BuildToolBar();
    void LoadTexts();
    void ApplyCommandLine();
    // Documents left unsaved by a program that ended without closing them: asks whether to
    // restore them, discard them, or keep them for the next start (mainform_recovery.cpp).
    void OfferRecovery();
    void RestoreOrphan(RecoveryClaim& claim, const OrphanRecord& orphan);
    void ReadSettingsStore();
    void WriteSettingsStore();
    std::unique_ptr<QSettings> OpenSettingsStore() const;
    QMdiSubWindow* SubWindowOf(TMDIChild* doc) const;
    // Where a new document window opens: inside the frame's area, cascaded from last.
    void PlaceNewDocument(QMdiSubWindow* sub, QMdiSubWindow* last);
    void SubWindowActivated(QMdiSubWindow* sub);
    void RedrawAllCharts();
    void SortActive(int key);
    TMDIChild* OpenDocumentFile(const QString& path);
    // The open dialog in folder (title empty: the dialog's own); opens every file chosen.
    void OpenFilesFrom(const QString& folder, const QString& title);
    bool RefuseEmpty(TMDIChild* doc);
    void SetUpUndo();
    void SetUpRecordKeys();
    void UpdateUndoCommands();

    MainFormOptions options_;
    QSize screen_;
    ProgramSettings settings_;
    bool shown_ = false;
    bool shuttingDown_ = false;

    QMdiArea* mdiArea_;
    std::map<std::string, QAction*> commands_;
    std::map<std::string, QMenu*> menus_; // "MenuF", "MenuE5" (the sort submenu), ...
    QMenu* menuWindow_ = nullptr;
    QActionGroup* windowItems_;
    QToolBar* toolBar_ = nullptr;
    std::vector<std::pair<CommandButton*, const char*>> toolButtons_; // button, text key
    QMenu* popupMain_ = nullptr;
    std::unique_ptr<TCloseDlg> closeDlg_;
    std::unique_ptr<TInEditor> inEditor_;
    std::unique_ptr<TGraphSetDlg> graphSetDlg_;
    std::unique_ptr<TSystemSetDlg> systemSetDlg_;
    std::unique_ptr<TAboutBox> aboutBox_;
    std::unique_ptr<TPrintSetDlg> printSetDlg_;
    std::unique_ptr<QPrinter> printer_;
    std::vector<TMDIChild*> docs_;
    QUndoGroup* undoGroup_ = nullptr; // the active document's undo steps
    RecordClipboard clipboard_;
    QString mergeFileName_; // the file last merged, proposed again by the next merge

    // The serial component, its receive buffer and the port and device type of the running
    // command live in one object, so that device commands also run without any window.
    std::unique_ptr<TOKBottomDlg> okBottomDlg_;
    std::unique_ptr<TfmComm> fmComm_;
    std::unique_ptr<DeviceLink> link_;
    std::unique_ptr<WindowCommandUi> commandUi_;
    // The record clipboard (ClipRecords, ClipCount, ClipModel) joins beside it.
};

} // namespace qmv
