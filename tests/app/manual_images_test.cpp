// The pictures of the user manual, made from the real windows with the sample files of examples/
// and the instrument simulator. With QMV_WRITE_MANUAL_IMAGES set they are written to
// manual/images/; otherwise they land in the build's artifacts and each run only shows that every
// window still renders with its texts.
#include <QApplication>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPixmap>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QSet>
#include <QTreeWidget>

#include "app/aboutbox.h"
#include "app/systemsetdlg.h"
#include "apptest.h"
#include "device/datasavedlg.h"
#include "document/graphsetdlg.h"
#include "document/ineditor.h"
#include "output/printing.h"
#include "output/printsetdlg.h"
#include "serial/okbottomdlg.h"
#include "tests/device/simulator.h"

namespace qmv::test {
namespace {

const QString LoggerFile = QStringLiteral(QMV_SOURCE_DIR "/examples/logger.q27");
const QString SensorFile = QStringLiteral(QMV_SOURCE_DIR "/examples/sensor.q27");

// Enough distinct colours that more than a background and a frame was drawn.
int Colours(const QImage& image) {
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            seen.insert(image.pixel(x, y));
    return static_cast<int>(seen.size());
}

class ManualImages : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    }

    // Renders widget (as it would be on screen) and keeps it as manual/images/name.png.
    void Shot(QWidget& widget, const QString& name, int minColours = 8) {
        QApplication::processEvents();
        // A palette of at most 256 colours keeps the pictures to a few tens of kilobytes.
        const QImage image = widget.grab().toImage().convertToFormat(
            QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
        ASSERT_FALSE(image.isNull()) << name.toStdString();
        EXPECT_GE(Colours(image), minColours) << name.toStdString() << " looks blank";
        const QString dir = qEnvironmentVariableIsSet("QMV_WRITE_MANUAL_IMAGES")
                                ? QStringLiteral(QMV_SOURCE_DIR "/manual/images")
                                : QStringLiteral(QMV_BINARY_DIR "/artifacts/manual");
        QDir().mkpath(dir);
        // Quality 0 is the strongest PNG compression; the pictures stay small.
        EXPECT_TRUE(image.save(dir + "/" + name + ".png", "PNG", 0)) << name.toStdString();
    }

    TMainForm& TwoDocuments(const QSize& size) {
        TMainForm& form = Form({SensorFile});
        form.resize(size);
        form.Command("AcStdLine")->setChecked(true);
        form.Command("AcPoint")->setChecked(true);
        form.OpenDroppedFiles({LoggerFile});
        EXPECT_EQ(form.Documents().size(), 2u);
        EXPECT_TRUE(dialogs_.messages.empty());
        return form;
    }

    static void Activate(TMainForm& form, TMDIChild* doc) {
        ASSERT_NE(doc, nullptr);
        form.findChild<QMdiArea*>()->setActiveSubWindow(
            qobject_cast<QMdiSubWindow*>(doc->parentWidget()));
        ASSERT_EQ(form.ActiveDocument(), doc);
    }

    static TMDIChild* Find(TMainForm& form, int model) {
        for (TMDIChild* doc : form.Documents())
            if (doc->Model() == model)
                return doc;
        ADD_FAILURE() << "no document of model " << model;
        return nullptr;
    }
};

TEST_F(ManualImages, MainWindowDocumentAndChart) {
    TMainForm& form = TwoDocuments(QSize(1100, 680));
    form.Command("AcTile")->trigger();
    for (TMDIChild* doc : form.Documents())
        doc->DrawChart();
    Shot(form, QStringLiteral("main-window"));

    // The logger document alone, a row selected so that its details show.
    TMDIChild* logger = Find(form, ModelQMV27);
    ASSERT_NE(logger, nullptr);
    logger->Info->setCurrentItem(logger->Info->topLevelItem(3));
    logger->ShowDetails();
    QMdiSubWindow* sub = qobject_cast<QMdiSubWindow*>(logger->parentWidget());
    ASSERT_NE(sub, nullptr);
    sub->showNormal();
    sub->resize(900, 560);
    logger->DrawChart();
    QApplication::processEvents();
    // The read-out under the chart, as the mouse over record 20 leaves it.
    const int y = logger->Chart1->height() / 2;
    int x = 0;
    while (x < logger->Chart1->width() && logger->Chart1->RecordAt(QPoint(x, y)) != 19)
        ++x;
    ASSERT_LT(x, logger->Chart1->width());
    QMouseEvent move(QEvent::MouseMove, QPointF(x, y), logger->Chart1->mapToGlobal(QPointF(x, y)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(logger->Chart1->viewport(), &move);
    Shot(*sub, QStringLiteral("document-logger"));

    TMDIChild* sensor = Find(form, ModelGZNMid);
    ASSERT_NE(sensor, nullptr);
    QMdiSubWindow* sensorSub = qobject_cast<QMdiSubWindow*>(sensor->parentWidget());
    ASSERT_NE(sensorSub, nullptr);
    sensorSub->showNormal();
    sensorSub->resize(900, 480);
    sensor->DrawChart();
    Shot(*sensor->Chart1, QStringLiteral("chart-bars"));
}

TEST_F(ManualImages, RecordEditorAndClosePrompt) {
    TMainForm& form = TwoDocuments(QSize(1000, 640));
    TMDIChild* logger = Find(form, ModelQMV27);
    ASSERT_NE(logger, nullptr);
    Activate(form, logger);
    logger->Info->setCurrentItem(logger->Info->topLevelItem(3));
    bool shown = false;
    form.InEditor().SetShowHook([&](TInEditor& editor) {
        shown = true;
        Shot(editor, QStringLiteral("record-editor"));
    });
    form.Command("AcDataEdit")->trigger();
    EXPECT_TRUE(shown);

    // A changed document asks before it closes; the picture is taken and the close cancelled.
    logger->Memo1->appendPlainText(QStringLiteral("Checked on site."));
    ASSERT_TRUE(logger->Modified());
    form.CloseDialog().SetAnswerHook([&](TCloseDlg& dlg) {
        Shot(dlg, QStringLiteral("close-prompt"));
        return 2;
    });
    form.Command("AcFileClose")->trigger();
    EXPECT_EQ(form.Documents().size(), 2u);
}

TEST_F(ManualImages, SettingsDialogsAndVersionBox) {
    // A data folder as a user would have it, not the test's temporary one.
    Store()->setValue(QStringLiteral("System/DataFolder"), QStringLiteral("/home/tech/QMVData"));
    TMainForm& form = TwoDocuments(QSize(1000, 640));
    Activate(form, Find(form, ModelGZNMid));
    bool shown = false;
    form.GraphSetDialog().SetShowHook([&](TGraphSetDlg& dlg) {
        shown = true;
        Shot(dlg, QStringLiteral("graph-settings"));
    });
    form.Command("AcGraph")->trigger();
    EXPECT_TRUE(shown);

    shown = false;
    form.SystemSetDialog().SetShowHook([&](TSystemSetDlg& dlg) {
        shown = true;
        Shot(dlg, QStringLiteral("system-settings"));
    });
    form.Command("AcSystemSet")->trigger();
    EXPECT_TRUE(shown);

    TAboutBox& about = form.AboutBox();
    about.FormShow();
    Shot(about, QStringLiteral("about-box"));
}

TEST_F(ManualImages, PrintSettingsAndPrintedPage) {
    TMainForm& form = Form({LoggerFile});
    form.Command("AcStdLine")->setChecked(true);
    TPrintSetDlg& dlg = form.PrintSetDialog();
    dlg.FormShow(AllPrintOptions);
    Shot(dlg, QStringLiteral("print-settings"));

    // The first page of the logger document as the print preview shows it.
    TMDIChild* doc = form.ActiveDocument();
    ASSERT_NE(doc, nullptr);
    PrintJob job;
    job.caption = doc->Caption();
    job.modelName = doc->ModelName();
    job.data = doc->Data();
    job.switches = form.Switches();
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPrintPreviewWidget preview(&printer);
    int pages = 0;
    QObject::connect(&preview, &QPrintPreviewWidget::paintRequested, [&](QPrinter* target) {
        PrintDocument(*target, job);
        ++pages;
    });
    preview.resize(420, 580);
    preview.show();
    preview.fitInView();
    preview.updatePreview();
    QApplication::processEvents();
    EXPECT_GT(pages, 0);
    Shot(preview, QStringLiteral("printed-page"));
}

TEST_F(ManualImages, ConnectionPrompt) {
    TMainForm& form = Form();
    TOKBottomDlg& prompt = form.ConnectPrompt();
    prompt.FormShow();
    Shot(prompt, QStringLiteral("connect-prompt"));
}

TEST_F(ManualImages, DownloadDialogFilledFromTheSimulator) {
    Simulator sim;
    ASSERT_TRUE(sim.Start({"--device", "qmv27", "--records", LoggerFile, "--line-rate", "0"}));
    TMainForm& form = Form();
    form.Command("AcLoad")->trigger();
    auto* dlg = form.findChild<TDataSaveDlg*>();
    ASSERT_NE(dlg, nullptr);
    ASSERT_EQ(dlg->Info->topLevelItemCount(), 30) << dialogs_.LastMessage().toStdString();
    dlg->Info->topLevelItem(0)->setSelected(true);
    Shot(*dlg, QStringLiteral("download-dialog"));
}

} // namespace
} // namespace qmv::test
