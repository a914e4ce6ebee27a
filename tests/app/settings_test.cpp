// Settings store: defaults, clamping, what closing writes back.
#include <QSettings>

#include "app/settings.h"
#include "apptest.h"

namespace qmv::test {
namespace {

class SettingsTest : public AppTest {};

TEST_F(SettingsTest, FirstStartTakesThreeQuartersOfTheScreen) {
    TMainForm& form = Form();
    EXPECT_EQ(form.width(), 1024); // 1366 * 3 / 4
    EXPECT_EQ(form.height(), 576);
    // Room for a document at its full size.
    TMDIChild* doc = form.CreateDocument();
    EXPECT_EQ(doc->parentWidget()->size(), QSize(820, 470));
    EXPECT_EQ(form.Settings().DataFolder, DataFolderPath());
    EXPECT_TRUE(QDir(DataFolderPath()).exists());
    EXPECT_EQ(form.SensorModelIndex, 0);
    EXPECT_FALSE(form.Command("AcPoint")->isChecked());
    EXPECT_FALSE(form.Command("AcMarker")->isChecked());
    EXPECT_FALSE(form.Command("AcStdLine")->isChecked());
    for (bool option : form.Settings().Print)
        EXPECT_TRUE(option);
}

TEST_F(SettingsTest, DefaultDataFolderIsBesideTheProgramOnlyForAnOrdinaryUser) {
    EXPECT_EQ(DefaultDataFolder(ProgramFolder(), false), DataFolderPath());
    // Run by root, who may write any program folder, it is the home folder's all the same.
    EXPECT_EQ(DefaultDataFolder(ProgramFolder(), true), QDir::homePath() + "/QMVData");
}

TEST_F(SettingsTest, EdgesOffTheScreenGoBackToZero) {
    const QSize screen(1366, 768);
    auto check = [&](int left, int top, int wantLeft, int wantTop) {
        auto store = Store();
        store->setValue("System/Left", left);
        store->setValue("System/Top", top);
        const ProgramSettings s = ReadSettings(*store, screen, "x");
        EXPECT_EQ(s.Left, wantLeft) << left;
        EXPECT_EQ(s.Top, wantTop) << top;
    };
    check(1300, 10, 0, 10);
    check(1266, 668, 1266, 668); // exactly 100 pixels from the far edges is kept
    check(1267, 669, 0, 0);
    check(-5, -1, 0, 0);
}

TEST_F(SettingsTest, UnreadableValuesGiveTheirDefaults) {
    auto store = Store();
    store->setValue("System/Width", "wide");
    store->setValue("Graph/Point", "perhaps");
    store->setValue("Print/Memo", false);
    const ProgramSettings s = ReadSettings(*store, QSize(1200, 900), "folder");
    EXPECT_EQ(s.Width, 900);
    EXPECT_EQ(s.Height, 675);
    EXPECT_FALSE(s.Point);
    EXPECT_FALSE(s.Print[PrintMemo]);
    EXPECT_TRUE(s.Print[PrintGraph]);
    EXPECT_EQ(s.DataFolder, "folder");
}

TEST_F(SettingsTest, ClosingMaximisedWritesOnlyTheState) {
    {
        auto store = Store();
        store->setValue("System/Width", 700);
        store->setValue("System/Height", 500);
        store->setValue("System/Top", 30);
        store->setValue("System/Left", 40);
    }
    TMainForm& form = Form();
    form.setWindowState(Qt::WindowMaximized);
    ASSERT_TRUE(form.isMaximized());
    ASSERT_TRUE(form.close());
    auto store = Store();
    EXPECT_EQ(store->value("System/WindowSt").toInt(), 2);
    EXPECT_EQ(store->value("System/Width").toInt(), 700);
    EXPECT_EQ(store->value("System/Height").toInt(), 500);
    EXPECT_EQ(store->value("System/Top").toInt(), 30);
    EXPECT_EQ(store->value("System/Left").toInt(), 40);
}

TEST_F(SettingsTest, EveryValueSurvivesARun) {
    {
        TMainForm& form = Form();
        form.resize(640, 480);
        form.move(50, 60);
        form.Command("AcPoint")->setChecked(true);
        form.Command("AcStdLine")->setChecked(true);
        form.SensorModelIndex = 2;
        form.Settings().DataFolder = Path("data");
        form.Settings().Print[PrintNote] = false;
        ASSERT_TRUE(form.close());
    }
    auto store = Store();
    EXPECT_EQ(store->value("System/WindowSt").toInt(), 0);
    EXPECT_EQ(store->value("System/DListIndex").toInt(), 2);

    TMainForm& again = Form();
    EXPECT_EQ(again.width(), 640);
    EXPECT_EQ(again.height(), 480);
    EXPECT_EQ(again.pos(), QPoint(50, 60));
    EXPECT_TRUE(again.Command("AcPoint")->isChecked());
    EXPECT_FALSE(again.Command("AcMarker")->isChecked());
    EXPECT_TRUE(again.Command("AcStdLine")->isChecked());
    EXPECT_EQ(again.SensorModelIndex, 2);
    EXPECT_EQ(again.DataFolder(), Path("data"));
    EXPECT_FALSE(again.Settings().Print[PrintNote]);
    EXPECT_TRUE(again.Settings().Print[PrintMemo]);
}

} // namespace
} // namespace qmv::test
