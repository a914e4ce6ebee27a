// The shell's dialogs: graph settings, system settings, help and the version box.
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include "app/aboutbox.h"
#include "app/systemsetdlg.h"
#include "apptest.h"
#include "document/graphsetdlg.h"
#include "ui/uitext.h"

namespace qmv::test {
namespace {

class ShellTest : public AppTest {
protected:
    // Runs AcGraph, letting work drive the filled dialog; returns whether Set closed it.
    bool RunGraphSettings(const std::function<void(TGraphSetDlg&)>& work) {
        bool closed = false;
        form_->GraphSetDialog().SetShowHook([&](TGraphSetDlg& dlg) {
            dlg.setResult(0);
            work(dlg);
            closed = dlg.result() == QDialog::Accepted;
        });
        form_->Command("AcGraph")->trigger();
        return closed;
    }

    bool RunSystemSettings(const std::function<void(TSystemSetDlg&)>& work) {
        bool closed = false;
        form_->SystemSetDialog().SetShowHook([&](TSystemSetDlg& dlg) {
            dlg.setResult(0);
            work(dlg);
            closed = dlg.result() == QDialog::Accepted;
        });
        form_->Command("AcSystemSet")->trigger();
        return closed;
    }

    static std::string Bytes(TMDIChild* doc) {
        std::string out;
        EXPECT_TRUE(FormatDataFile(doc->Data(), VersionText(), out));
        return out;
    }
};

TEST_F(ShellTest, GraphSettingsCheckTheAxisAndApplyToTheActiveDocument) {
    TMainForm& form = Form();
    const QString a = WriteDoc("a.q27", LoggerDoc({"100", "300"}));
    const QString b = WriteDoc("b.q27", LoggerDoc({"150", "250"}));
    const QString c = WriteDoc("c.q27", LoggerDoc({"120", "220"}));
    form.OpenDroppedFiles({a, b, c});
    TMDIChild* active = form.ActiveDocument();
    const std::string saved = Bytes(active);

    // The maximum must lie above the minimum: 600/600 is refused and nothing is applied.
    EXPECT_FALSE(RunGraphSettings([](TGraphSetDlg& d) {
        d.seMax->setValue(600);
        d.seMin->setValue(600);
        d.btnSetteiClick();
    }));
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].kind, MessageKind::Warning);
    EXPECT_TRUE(dialogs_.messages[0].text.startsWith("The maximum of the level axis"));
    EXPECT_FALSE(active->Modified());

    // 601/600 is taken; the level is stored while its line is off; points reach every chart.
    EXPECT_TRUE(RunGraphSettings([](TGraphSetDlg& d) {
        EXPECT_FALSE(d.seStd->isEnabled()); // the standard line is off
        d.seMax->setValue(601);
        d.seMin->setValue(600);
        d.seStd->setValue(321);
        d.cbPoint->setChecked(true);
        d.rbBarGraph->setChecked(true);
        d.btnSetteiClick();
    }));
    EXPECT_EQ(active->AxisMax(), 601);
    EXPECT_EQ(active->AxisMin(), 600);
    EXPECT_EQ(active->StdLevel(), 321);
    EXPECT_TRUE(active->BarGraph());
    EXPECT_TRUE(active->Modified());
    EXPECT_EQ(active->Chart1->Shown().yMax, 601);
    EXPECT_EQ(active->Chart1->Shown().series[Series2Standard].DrawnCount(), 0);
    EXPECT_TRUE(form.Command("AcPoint")->isChecked());
    for (TMDIChild* doc : form.Documents()) {
        EXPECT_GT(doc->Chart1->Shown().series[Series4Points].DrawnCount() +
                      doc->Chart1->Shown().series[Series3PointsAbove].DrawnCount(),
                  0);
        if (doc != active) {
            EXPECT_EQ(doc->AxisMax(), 600); // the axis belongs to the active one only
        }
    }

    // Set is one undo step of the document, back to the bytes on disk.
    form.Command("AcUndo")->trigger();
    EXPECT_EQ(Bytes(active), saved);
    EXPECT_FALSE(active->Modified());
}

TEST_F(ShellTest, AnEmptiedGraphSettingFieldTakesBackTheDocumentsValue) {
    TMainForm& form = Form();
    form.OpenDroppedFiles({WriteDoc("a.q27", LoggerDoc({"100", "300"}))});
    TGraphSetDlg& dlg = form.GraphSetDialog();
    dlg.show();
    dlg.FormShow();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));

    dlg.seMax->setFocus();
    QTest::keyClicks(dlg.seMax, "9"); // 6009 would be a value; then the field is emptied
    dlg.seMax->selectAll();
    QTest::keyClick(dlg.seMax, Qt::Key_Backspace);
    dlg.seMin->setFocus(); // leaving it
    EXPECT_EQ(dlg.seMax->value(), 600);
    // The fields hold what the data file's columns hold.
    EXPECT_EQ(dlg.seMax->maximum(), 9999);
    EXPECT_EQ(dlg.seStd->maximum(), 999);
    dlg.hide();
}

TEST_F(ShellTest, SystemSettingsTakeAnExistingFolderWithoutTrailingSeparators) {
    TMainForm& form = Form();
    const QString folder = Path("data2");
    QDir().mkpath(folder);

    // Set is greyed until the text changes; a missing folder is refused and the dialog stays.
    EXPECT_FALSE(RunSystemSettings([&](TSystemSetDlg& d) {
        EXPECT_EQ(d.edFolderName->text(), form.DataFolder());
        EXPECT_FALSE(d.btnSet->isEnabled());
        d.edFolderName->setText(Path("missing"));
        EXPECT_TRUE(d.btnSet->isEnabled());
        d.btnSetClick();
    }));
    EXPECT_EQ(dialogs_.LastMessage(), "The folder does not exist.");
    EXPECT_EQ(form.DataFolder(), DataFolderPath());

    // The folder button is the folder chooser, starting in the data folder.
    dialogs_.folderAnswer = folder;
    EXPECT_TRUE(RunSystemSettings([&](TSystemSetDlg& d) {
        EXPECT_EQ(d.lbFolderName->text(), "Data folder:");
        d.sbFolderOpen->click();
        EXPECT_EQ(d.edFolderName->text(), folder);
        d.edFolderName->setText(" " + folder + "//\\ ");
        d.btnSetClick();
    }));
    EXPECT_EQ(dialogs_.folderStarts, std::vector<QString>{DataFolderPath()});
    EXPECT_EQ(form.DataFolder(), folder);
    // A relative folder is the one it meant where it was typed.
    const QString before = QDir::currentPath();
    QDir::setCurrent(QFileInfo(folder).absolutePath());
    for (const auto& [typed, meant] : {std::pair<QString, QString>{"//", "/"},
                                       {"data2/", folder},
                                       {"~/a/", QDir::homePath() + "/a"}})
        EXPECT_EQ(CleanFolderName(typed), meant) << typed.toStdString();
    QDir::setCurrent(before);

    // Save All writes into the new folder at once.
    form.Command("AcNewFile")->trigger();
    TMDIChild* doc = form.ActiveDocument();
    doc->ApplyChange("Paste", LoggerDoc({"100"}), 0);
    form.Command("AcAllSave")->trigger();
    EXPECT_EQ(QDir(folder).entryList({"*.q27"}).size(), 1);
}

TEST_F(ShellTest, AnEmptyStoredDataFolderIsTheDefaultOne) {
    {
        auto store = Store();
        store->setValue("System/DataFolder", "");
    }
    TMainForm& form = Form();
    EXPECT_EQ(form.DataFolder(), DataFolderPath());
    // Emptied in the running program too, by whatever means: never the file system's root.
    form.Settings().DataFolder.clear();
    EXPECT_EQ(form.DataFolder(), DataFolderPath());
}

TEST_F(ShellTest, HelpHandsTheManualBesideTheProgramOrInstalledToTheDesktop) {
    TMainForm& form = Form();
    EXPECT_EQ(form.Command("AcHelpContents")->shortcut(), QKeySequence("F1"));
    // Installed layout: bin/ and share/qmvwin/Manual/.
    const QString installed = Path("share/qmvwin/Manual");
    QDir().mkpath(installed);
    QFile(installed + "/index.html").open(QIODevice::WriteOnly);
    form.Command("AcHelpContents")->trigger();
    ASSERT_EQ(dialogs_.desktopOpened.size(), 1u);
    EXPECT_EQ(dialogs_.desktopOpened[0], installed + "/index.html");

    // A manual beside the program wins.
    QDir().mkpath(ProgramFolder() + "Manual");
    QFile(ProgramFolder() + "Manual/index.html").open(QIODevice::WriteOnly);
    form.Command("AcHelpContents")->trigger();
    ASSERT_EQ(dialogs_.desktopOpened.size(), 2u);
    EXPECT_EQ(dialogs_.desktopOpened[1], ProgramFolder() + "Manual/index.html");
    EXPECT_TRUE(dialogs_.messages.empty());
    // No viewer started, or no manual to hand over: the user is told why and where it is.
    const QString manual = "\r\n" + ProgramFolder() + "Manual/index.html";
    dialogs_.desktopStartsViewer = false;
    form.Command("AcHelpContents")->trigger();
    EXPECT_EQ(dialogs_.LastMessage(), Tx("Msg", "MsgNoViewer") + manual);
    QFile::remove(ProgramFolder() + "Manual/index.html");
    QFile::remove(installed + "/index.html");
    form.Command("AcHelpContents")->trigger();
    EXPECT_EQ(dialogs_.desktopOpened.size(), 3u);
    EXPECT_EQ(dialogs_.LastMessage(), "The manual was not found. It belongs here:" + manual);
}

TEST_F(ShellTest, VersionBoxShowsTheVersionAndThePicture) {
    TMainForm& form = Form();
    TAboutBox& box = form.AboutBox();
    box.FormShow();
    EXPECT_EQ(box.windowTitle(), "About QMVwin");
    EXPECT_EQ(box.lbVersion->text(), QString::fromStdString(VersionText()));
    EXPECT_EQ(box.lbVersionTitle->text(), QString("Version\uFF1A"));
    EXPECT_FALSE(box.ProgramIcon->pixmap().isNull());
    EXPECT_FALSE(form.windowIcon().isNull());
    EXPECT_TRUE(box.btnClose->isDefault());
}

} // namespace
} // namespace qmv::test
