// The download dialog on its own: a host that records what the dialog asks of the main window,
// tables set up directly for the searches, and real downloads from the simulator for the show
// handler.
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "data/profile.h"
#include "device/datasavedlg.h"
#include "device/devicelink.h"
#include "device/tfmcomm.h"
#include "tests/device/simulator.h"
#include "tests/support/scripteddialogs.h"

namespace qmv {
namespace {

using test::ScriptedDialogs;
using test::Simulator;

struct MadeDocument {
    std::vector<recReadDataSeg> records;
    int model;
    int axisMax;
};

class FakeHost : public DownloadHost {
public:
    DeviceLink link;
    TfmComm* comm = nullptr;
    int sensorIndex = 0;
    int reloads = 0;
    int closed = 0;
    std::vector<MadeDocument> docs;

    DeviceLink& Link() override { return link; }
    TfmComm* CommWindow() override { return comm; }
    int SensorModelIndex() const override { return sensorIndex; }
    void SetSensorModelIndex(int index) override { sensorIndex = index; }
    void RunLoadCommand() override { ++reloads; }
    void MakeDocument(std::vector<recReadDataSeg> records, int model, int axisMax) override {
        docs.push_back({std::move(records), model, axisMax});
    }
    void DownloadDialogClosed() override { ++closed; }
};

recReadDataSeg Logger(int no, const std::string& level, const std::string& date,
                      const std::string& flag = "0") {
    return {ZeroPad(no, 5), "0100", "0200", "0300", level, flag, date, "1", "2", "1", "0", ""};
}

recReadDataSeg Sensor(int no, const std::string& level, const std::string& date) {
    return {ZeroPad(no, 5), "0000", "0000", "0000", level, "9", date, "9", "9", "9", "9", ""};
}

QStringList Column(QTreeWidget* list, int column) {
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        out << list->topLevelItem(i)->text(column);
    return out;
}

class DataSaveDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(InterfaceTexts().Load(QMV_SOURCE_DIR "/lang/en/QMVLanguage.Lib"));
        dlg = new TDataSaveDlg(host);
    }
    void TearDown() override {
        delete dlg.data();
        InterfaceTexts().Clear();
    }

    // A table as a download would leave it, without the download.
    void Table(int deviceType, std::vector<recReadDataSeg> records) {
        dlg->Download().DeviceType = deviceType;
        dlg->Download().DownloadTable = std::move(records);
    }
    void NumberSearch(const QString& from, const QString& to) {
        dlg->rbNum->click();
        dlg->edStNum->setText(from);
        dlg->edEdNum->setText(to);
        dlg->btnSearch->click();
    }
    void DateSearch(const QString& from, const QString& to) {
        dlg->rbDate->click();
        dlg->meStDate->setText(from);
        dlg->meEdDate->setText(to);
        dlg->btnSearch->click();
    }
    void SelectRows(std::initializer_list<int> rows) {
        dlg->Info->clearSelection();
        for (int r : rows)
            dlg->Info->topLevelItem(r)->setSelected(true);
    }

    ScriptedDialogs dialogs;
    FakeHost host;
    QPointer<TDataSaveDlg> dlg;
};

std::vector<recReadDataSeg> TenLoggerRecords() {
    std::vector<recReadDataSeg> v;
    for (int i = 1; i <= 10; ++i)
        v.push_back(Logger(i, ZeroPad(100 + i, 3), "2010/05/" + ZeroPad(20 + i, 2) + " 12:00",
                           i == 4 ? "1" : "0"));
    return v;
}

TEST_F(DataSaveDlgTest, NumberSearchAndItsWarnings) {
    Table(DeviceQMV27, TenLoggerRecords());
    NumberSearch("5", "5");
    EXPECT_EQ(Column(dlg->Info, 0), QStringList{"005"});
    NumberSearch("3", "6");
    EXPECT_EQ(Column(dlg->Info, 0), (QStringList{"003", "004", "005", "006"}));
    EXPECT_EQ(Column(dlg->Info, 1), (QStringList{"103", "104", "105", "106"}));
    EXPECT_EQ(Column(dlg->Info, 3), (QStringList{"", "Marked", "", ""}));
    EXPECT_TRUE(dialogs.messages.empty());

    // The wrong way round: a beep and a warning, the list as it was.
    NumberSearch("7", "3");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(dialogs.messages[0].text,
              QString::fromStdString(InterfaceTexts().Text("Msg", "MsgWriErr")));
    EXPECT_EQ(dialogs.beeps, 1);
    EXPECT_EQ(Column(dlg->Info, 0), (QStringList{"003", "004", "005", "006"}));

    // An empty field is a conversion error for the error report; the list stays.
    NumberSearch("", "4");
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].kind, MessageKind::Error);
    EXPECT_EQ(Column(dlg->Info, 0).size(), 4);
}

TEST_F(DataSaveDlgTest, NumberEditsTakeOnlyDigitsBackspaceAndEscape) {
    dlg->rbNum->click();
    auto type = [this](int key, const QString& text) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(dlg->edStNum, &press);
    };
    type(Qt::Key_1, "1");
    type(Qt::Key_A, "a");
    type(Qt::Key_Minus, "-");
    type(Qt::Key_2, "2");
    EXPECT_EQ(dlg->edStNum->text(), "12");
    type(Qt::Key_Backspace, "\b");
    EXPECT_EQ(dlg->edStNum->text(), "1");
    for (int i = 0; i < 7; ++i)
        type(Qt::Key_9, "9");
    EXPECT_EQ(dlg->edStNum->text(), "19999"); // at most five characters

    // Tab types a control character, not text: it moves on to the next field.
    dlg->edStNum->setFocus();
    ASSERT_EQ(dlg->focusWidget(), dlg->edStNum);
    type(Qt::Key_Tab, "\t");
    EXPECT_NE(dlg->focusWidget(), dlg->edStNum);
    EXPECT_EQ(dlg->edStNum->text(), "19999");
}

TEST_F(DataSaveDlgTest, DateSearchCoversWholeDays) {
    Table(DeviceQMV27,
          {Logger(1, "100", "2010/05/30 23:59"), Logger(2, "110", "2010/05/31 00:00"),
           Logger(3, "120", "2010/05/31 23:59"), Logger(4, "130", "2010/06/01 00:00")});
    DateSearch("2010/05/31", "2010/05/31");
    EXPECT_EQ(Column(dlg->Info, 0), (QStringList{"002", "003"}));
    DateSearch("2010/05/30", "2010/06/01");
    EXPECT_EQ(Column(dlg->Info, 0).size(), 4);
    EXPECT_TRUE(dialogs.messages.empty());

    DateSearch("2010/06/01", "2010/05/31"); // the wrong way round
    DateSearch("2010/13/01", "2010/05/31"); // no such month
    DateSearch("2010/05/", "2010/05/31");   // not filled in
    ASSERT_EQ(dialogs.messages.size(), 3u);
    for (const auto& m : dialogs.messages)
        EXPECT_EQ(m.kind, MessageKind::Warning);
    EXPECT_EQ(dialogs.beeps, 3);
    EXPECT_EQ(Column(dlg->Info, 0).size(), 4);
}

TEST_F(DataSaveDlgTest, SearchDefaultsFromTheFirstAndLastRecords) {
    Table(DeviceQMV27, {Logger(7, "100", "2010/05/30 10:00"), Logger(8, "100", "2010/06/02 10:00"),
                        Logger(9, "100", "2010/06/04 10:00")});
    dlg->FillSearchDefaults();
    EXPECT_EQ(dlg->edStNum->text(), "007");
    EXPECT_EQ(dlg->edEdNum->text(), "009");
    EXPECT_EQ(dlg->meStDate->text(), "2010/05/30");
    EXPECT_EQ(dlg->meEdDate->text(), "2010/06/04");

    // Not in date order (the clock was set back): the earliest and the latest of all.
    Table(DevicePLX01, {Sensor(1, "40", "2010/05/30 10:00"), Sensor(2, "40", "2010/05/29 10:00"),
                        Sensor(3, "40", "2010/06/09 10:00"), Sensor(4, "40", "2010/05/01 09:00")});
    dlg->FillSearchDefaults();
    EXPECT_EQ(dlg->edStNum->text(), "00001");
    EXPECT_EQ(dlg->edEdNum->text(), "00004");
    EXPECT_EQ(dlg->meStDate->text(), "2010/05/01");
    EXPECT_EQ(dlg->meEdDate->text(), "2010/06/09");

    // Two-digit years order the date numbers, as the device counts them.
    EXPECT_EQ(DateTimeNumber("2009/02/13 23:31"), std::optional<std::int64_t>(902132331));
    EXPECT_FALSE(DateTimeNumber("2099/99/99 99:99"));
    EXPECT_EQ(DateNumber("2010/05/31 23:59"), std::optional<int>(20100531));
    EXPECT_FALSE(DateNumber("2010/02/30"));
}

TEST_F(DataSaveDlgTest, SensorModelChangeConvertsEveryLevelAndBack) {
    std::vector<recReadDataSeg> table;
    for (int i = 1; i <= 6; ++i)
        table.push_back(Sensor(i, ZeroPad(10 * i, 2), "2010/05/31 1" + std::to_string(i) + ":00"));
    Table(DevicePLX01, table);
    NumberSearch("2", "4");
    dlg->cbModelList->setCurrentIndex(2);
    dlg->cbModelListChange(2); // MAX to MIN
    EXPECT_EQ(host.sensorIndex, 2);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(dlg->DownloadTable()[i].MinDb, std::to_string(10 * (i + 1) + 40));
    // The rows shown before stay shown, with the new levels.
    EXPECT_EQ(Column(dlg->Info, 0), (QStringList{"00002", "00003", "00004"}));
    EXPECT_EQ(Column(dlg->Info, 1), (QStringList{"60", "70", "80"}));

    dlg->cbModelList->setCurrentIndex(0);
    dlg->cbModelListChange(0); // back to MAX
    EXPECT_EQ(host.sensorIndex, 0);
    EXPECT_EQ(dlg->DownloadTable(), table);
    EXPECT_EQ(Column(dlg->Info, 1), (QStringList{"20", "30", "40"}));

    dlg->cbModelList->setCurrentIndex(1);
    dlg->cbModelListChange(1); // MID
    EXPECT_EQ(dlg->DownloadTable()[0].MinDb, "30");
}

TEST_F(DataSaveDlgTest, GraphTakesTheShownRowsOrTheSelectedOnes) {
    Table(DeviceQMV27, TenLoggerRecords());
    dlg->btnGraph->click(); // no rows: nothing
    EXPECT_TRUE(host.docs.empty());

    NumberSearch("3", "7");
    dlg->btnGraph->click();
    ASSERT_EQ(host.docs.size(), 1u);
    EXPECT_EQ(host.docs[0].model, ModelQMV27);
    const std::vector<recReadDataSeg> all = TenLoggerRecords();
    const std::vector<recReadDataSeg> shown(all.begin() + 2, all.begin() + 7);
    EXPECT_EQ(host.docs[0].records, shown);
    EXPECT_EQ(host.docs[0].axisMax, 300); // largest 107, the standard line at 200

    SelectRows({4, 1});
    dlg->pmGraph->trigger();
    ASSERT_EQ(host.docs.size(), 2u);
    ASSERT_EQ(host.docs[1].records.size(), 2u);
    EXPECT_EQ(host.docs[1].records[0].DataNo, "00004"); // in list order
    EXPECT_EQ(host.docs[1].records[1].DataNo, "00007");

    // The second device type takes the range chosen in the list as its model.
    Table(DevicePLX01, {Sensor(1, "55", "2010/05/31 10:00")});
    dlg->cbModelList->clear();
    dlg->cbModelList->addItems({"MAX", "MID", "MIN"});
    dlg->cbModelList->setCurrentIndex(1);
    NumberSearch("1", "1");
    dlg->btnGraph->click();
    ASSERT_EQ(host.docs.size(), 3u);
    EXPECT_EQ(host.docs[2].model, ModelGZNMid);
    EXPECT_EQ(host.docs[2].axisMax, 300);
    EXPECT_EQ(host.docs[2].records[0].MinDb, "055");
}

TEST_F(DataSaveDlgTest, GraphCopiesEachRowsOwnRecordWhenDataNumbersRepeat) {
    // The logger's one-byte number wraps: 255, then 0, 1, ... again.
    const std::vector<recReadDataSeg> table = {
        Logger(255, "101", "2010/05/31 10:00"), Logger(1, "102", "2010/05/31 10:01"),
        Logger(0, "103", "2010/05/31 10:02"), Logger(1, "104", "2010/05/31 10:03")};
    Table(DeviceQMV27, table);
    DateSearch("2010/05/31", "2010/05/31");
    ASSERT_EQ(Column(dlg->Info, 0), (QStringList{"255", "001", "000", "001"}));
    dlg->btnGraph->click();
    ASSERT_EQ(host.docs.size(), 1u);
    std::vector<std::string> levels;
    for (const recReadDataSeg& r : host.docs[0].records)
        levels.push_back(r.MinDb);
    EXPECT_EQ(levels, (std::vector<std::string>{"101", "102", "103", "104"}));
    EXPECT_EQ(host.docs[0].records, table);

    SelectRows({3});
    dlg->btnGraph->click();
    ASSERT_EQ(host.docs.size(), 2u);
    ASSERT_EQ(host.docs[1].records.size(), 1u);
    EXPECT_EQ(host.docs[1].records[0].MinDb, "104");
}

TEST_F(DataSaveDlgTest, GraphAxisMaxForTheLargestLevel) {
    const char* levels[] = {"000", "150", "250", "801", "850", "900"};
    const int axes[] = {300, 300, 300, 900, 900, 1000}; // the default standard line at 200
    std::vector<recReadDataSeg> table;
    for (int i = 0; i < 6; ++i)
        table.push_back(Logger(i + 1, levels[i], "2010/05/31 10:00"));
    Table(DeviceQMV27, table);
    NumberSearch("1", "6");
    for (int i = 0; i < 6; ++i) {
        SelectRows({0, i}); // the row with the lowest level and row i
        dlg->btnGraph->click();
        ASSERT_EQ(host.docs.size(), static_cast<std::size_t>(i + 1));
        EXPECT_EQ(host.docs.back().axisMax, axes[i]) << levels[i];
    }
}

TEST_F(DataSaveDlgTest, ButtonsAndPopupMenuReachTheHost) {
    dlg->btnReLoad->click();
    dlg->pmReLoad->trigger();
    EXPECT_EQ(host.reloads, 2);
    dlg->show();
    dlg->pmClose->trigger();
    EXPECT_EQ(host.closed, 1);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dlg.isNull()); // freed when closed
}

// Real downloads through the show handler.
class DataSaveDlgDownload : public DataSaveDlgTest {
protected:
    void Show(const QStringList& simArgs) {
        ASSERT_TRUE(sim.Start(simArgs));
        ASSERT_EQ(host.link.FindPort(), FindPortFound);
        dlg->Open();
    }
    Simulator sim;
};

TEST_F(DataSaveDlgDownload, LoggerDownloadFillsTheListAndTheSearchFields) {
    TfmComm comm;
    host.comm = &comm;
    Show({"--generate", "12", "--line-rate", "0"});
    EXPECT_EQ(dlg->LastResult(), DownloadOk);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_FALSE(comm.isVisible());
    EXPECT_TRUE(dlg->isEnabled());
    EXPECT_FALSE(dlg->stNoData->isVisible());
    ASSERT_EQ(dlg->Info->topLevelItemCount(), 12);
    EXPECT_EQ(dlg->Info->topLevelItem(0)->text(0), "001");
    EXPECT_EQ(dlg->Info->topLevelItem(0)->text(1),
              QString::fromStdString(dlg->DownloadTable()[0].MinDb));
    EXPECT_EQ(dlg->Info->headerItem()->text(3), "Flag");
    EXPECT_EQ(dlg->edStNum->text(), "001");
    EXPECT_EQ(dlg->edEdNum->text(), "012");
    EXPECT_EQ(dlg->meStDate->text(),
              QString::fromStdString(dlg->DownloadTable()[0].Date.substr(0, 10)));
    // The model area of the logger, the search controls off until a kind is chosen.
    EXPECT_FALSE(dlg->edQMV27->isHidden());
    EXPECT_TRUE(dlg->cbModelList->isHidden());
    EXPECT_EQ(dlg->edQMV27->text(), "QMV-27");
    EXPECT_FALSE(dlg->rbNum->isChecked());
    EXPECT_FALSE(dlg->rbDate->isChecked());
    EXPECT_FALSE(dlg->btnSearch->isEnabled());
    EXPECT_FALSE(dlg->edStNum->isEnabled());
    EXPECT_EQ(dlg->windowTitle(),
              QString::fromStdString(InterfaceTexts().Text("QMVRead", "Caption")));
}

TEST_F(DataSaveDlgDownload, SecondTypeShowsTheSensorList) {
    host.sensorIndex = 1;
    Show({"--device", "plx01", "--generate", "5", "--line-rate", "0"});
    EXPECT_EQ(dlg->LastResult(), DownloadOk);
    EXPECT_TRUE(dlg->edQMV27->isHidden());
    EXPECT_FALSE(dlg->cbModelList->isHidden());
    EXPECT_EQ(dlg->cbModelList->count(), 3);
    EXPECT_EQ(dlg->cbModelList->currentIndex(), 1);
    EXPECT_EQ(dlg->Info->headerItem()->text(3), "");
    EXPECT_EQ(Column(dlg->Info, 0), (QStringList{"00001", "00002", "00003", "00004", "00005"}));
    EXPECT_EQ(dlg->edEdNum->text(), "00005");
}

TEST_F(DataSaveDlgDownload, EmptyDeviceShowsNoDataAndEmptiesTheTable) {
    Table(DeviceQMV27, TenLoggerRecords());
    const auto noRanges = [&] { EXPECT_TRUE(dlg->cbModelList->isHidden()); }; // a logger is read
    dialogs.whileShown = noRanges;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, noRanges);
    watch.start(1);
    Show({"--empty", "--line-rate", "0"});
    EXPECT_EQ(dlg->LastResult(), DownloadEmpty);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, MessageKind::Information);
    EXPECT_EQ(dialogs.messages[0].text,
              QString::fromStdString(InterfaceTexts().Text("Msg", "MsgNoData")));
    EXPECT_EQ(dialogs.beeps, 1);
    EXPECT_EQ(dlg->stNoData->text(), "No Data");
    EXPECT_FALSE(dlg->stNoData->isHidden());
    EXPECT_EQ(dlg->Info->topLevelItemCount(), 0);
    EXPECT_EQ(dlg->DownloadCount(), 0);
    // Graph has nothing stale to make a document of.
    dlg->rbNum->click();
    dlg->edStNum->setText("1");
    dlg->edEdNum->setText("10");
    dlg->btnSearch->click();
    dlg->btnGraph->click();
    EXPECT_TRUE(host.docs.empty());
}

TEST_F(DataSaveDlgDownload, FailuresShowTheirMessages) {
    Show({"--generate", "251", "--line-rate", "0"});
    EXPECT_EQ(dlg->LastResult(), DownloadBlockLate);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(dialogs.messages[0].text,
              QString::fromStdString(InterfaceTexts().Text("Msg", "MsgLoadErr")));
    EXPECT_EQ(dlg->stNoData->text(), "Error");
    EXPECT_EQ(dlg->Info->topLevelItemCount(), 0);

    // A port that does not open.
    host.link.DevicePort = QStringLiteral("/nonexistent/tty");
    dlg->FormShow();
    EXPECT_EQ(dlg->LastResult(), DownloadNoDevice);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].kind, MessageKind::Warning);
    EXPECT_EQ(dialogs.messages[1].text,
              QString::fromStdString(InterfaceTexts().Text("Msg", "MsgComErr0")));
    EXPECT_EQ(dlg->stNoData->text(), "Error");
    EXPECT_EQ(dialogs.beeps, 2);

    // A port another program holds: the warning adds why.
    ASSERT_TRUE(sim.Start({"--id", "XYZ99", "--line-rate", "0"}));
    ASSERT_EQ(host.link.FindPort(), FindPortFound);
    const int held = ::open(sim.Path().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    dlg->FormShow();
    ::close(held);
    EXPECT_EQ(dlg->LastResult(), DownloadNoDevice);
    ASSERT_EQ(dialogs.messages.size(), 3u);
    EXPECT_TRUE(dialogs.messages[2].text.startsWith(
        QString::fromStdString(InterfaceTexts().Text("Msg", "MsgComErr0") + "\n" +
                               InterfaceTexts().Text("Msg", "MsgPortBusy"))))
        << dialogs.messages[2].text.toStdString();

    // A device that does not identify itself: the sensor list stands in the model area, and the
    // warning is the plain one again.
    dlg->FormShow();
    EXPECT_EQ(dlg->LastResult(), DownloadNoDevice);
    ASSERT_EQ(dialogs.messages.size(), 4u);
    EXPECT_EQ(dialogs.messages[3].text,
              QString::fromStdString(InterfaceTexts().Text("Msg", "MsgComErr0")));
    EXPECT_EQ(dlg->DeviceType(), DeviceUnknown);
    EXPECT_TRUE(dlg->edQMV27->isHidden());
    EXPECT_FALSE(dlg->cbModelList->isHidden());
}

} // namespace
} // namespace qmv
