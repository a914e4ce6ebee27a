// Every window reads whole in English and Japanese, new documents open inside the frame, Qt's own
// dialogs speak the language of the program's texts, and the pictures of docs/ in both languages.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QStyle>
#include <functional>

#include "app/aboutbox.h"
#include "app/systemsetdlg.h"
#include "apptest.h"
#include "data/codepage.h"
#include "device/datasavedlg.h"
#include "device/plxsetdlg.h"
#include "device/tfmcomm.h"
#include "document/graphsetdlg.h"
#include "document/ineditor.h"
#include "output/printsetdlg.h"
#include "serial/okbottomdlg.h"
#include "tests/device/simulator.h"
#include "ui/platformdialogs.h"
#include "ui/qttranslation.h"

namespace qmv::test {
namespace {

// What of window's visible texts does not fit the room it is given, one line per text.
QStringList CutTexts(QWidget* window) {
    QStringList cut;
    const auto report = [&](const QWidget* w, const QString& text, int need, int room) {
        if (need > room)
            cut << QStringLiteral("%1 \"%2\": needs %3, has %4")
                       .arg(QString::fromLatin1(w->metaObject()->className()), text)
                       .arg(need)
                       .arg(room);
    };
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(window) || label->text().isEmpty() || label->wordWrap() ||
            !label->pixmap().isNull())
            continue;
        const QFontMetrics fm = label->fontMetrics();
        int indent = label->indent();
        if (indent < 0)
            indent = label->frameWidth() > 0 ? fm.horizontalAdvance(QLatin1Char('x')) / 2 : 0;
        int need = 0;
        for (const QString& line : label->text().split(QLatin1Char('\n')))
            need = std::max(need, fm.horizontalAdvance(line));
        report(label, label->text(), need, label->contentsRect().width() - indent);
        // Nor may the edge of what holds it cut it off.
        QRect shown = label->rect();
        for (QWidget* w = label; w != window && w->parentWidget(); w = w->parentWidget())
            shown = shown.translated(w->pos()) & w->parentWidget()->rect();
        report(label, label->text(), label->width(), shown.width());
    }
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(window) || button->text().isEmpty())
            continue;
        report(button, button->text(), button->sizeHint().width(), button->width());
    }
    for (QTreeWidget* list : window->findChildren<QTreeWidget*>()) {
        if (!list->isVisibleTo(window))
            continue;
        // Every column in view, none behind a horizontal scroll bar.
        if (list->horizontalScrollBar()->isVisibleTo(window))
            cut << QStringLiteral("%1: columns out of view").arg(list->objectName());
        const QFontMetrics fm = list->fontMetrics();
        // The item view elides a text that does not fit between these margins.
        const int cellMargins =
            2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
        for (int c = 0; c < list->columnCount(); ++c) {
            if (list->isColumnHidden(c))
                continue;
            const QString caption = list->headerItem()->text(c);
            if (!caption.isEmpty())
                report(list, caption, list->header()->sectionSizeHint(c), list->columnWidth(c));
            for (int r = 0; r < list->topLevelItemCount(); ++r) {
                const QString text = list->topLevelItem(r)->text(c);
                report(list, text, fm.horizontalAdvance(text) + cellMargins, list->columnWidth(c));
            }
        }
    }
    return cut;
}

struct Language {
    const char* name;
    const char* file;
    int codePage;
};

void PrintTo(const Language& language, std::ostream* out) {
    *out << language.name;
}

class LookTest : public AppTest, public ::testing::WithParamInterface<Language> {
protected:
    void SetUp() override {
        AppTest::SetUp();
        SetActiveCodePage(GetParam().codePage);
    }
    void TearDown() override {
        AppTest::TearDown();
        SetActiveCodePage(1252);
    }

    TMainForm& LanguageForm() {
        MainFormOptions o = Options();
        o.languageFile = QStringLiteral(QMV_SOURCE_DIR "/lang/") + GetParam().file;
        form_ = std::make_unique<TMainForm>(o);
        form_->resize(1050, 675);
        form_->show();
        return *form_;
    }

    // The download dialog filled from the simulator standing for device ("qmv27" or "plx01").
    TDataSaveDlg* Download(TMainForm& form, Simulator& sim, const char* device, const char* file) {
        EXPECT_TRUE(
            sim.Start({"--device", device, "--records",
                       QStringLiteral(QMV_SOURCE_DIR "/examples/") + file, "--line-rate", "0"}));
        form.Command("AcLoad")->trigger();
        auto* dlg = form.findChild<TDataSaveDlg*>();
        EXPECT_NE(dlg, nullptr);
        if (dlg) {
            EXPECT_GT(dlg->Info->topLevelItemCount(), 0) << dialogs_.LastMessage().toStdString();
        }
        return dlg;
    }

    void ExpectWhole(QWidget* window, const char* what) {
        QCoreApplication::processEvents();
        EXPECT_EQ(CutTexts(window).join(QLatin1Char('\n')).toStdString(), "")
            << what << " in " << GetParam().name;
    }
};

TEST_P(LookTest, EveryWindowShowsItsTextsWhole) {
    TMainForm& form = LanguageForm();
    form.OpenDroppedFiles({QStringLiteral(QMV_SOURCE_DIR "/examples/logger.q27"),
                           QStringLiteral(QMV_SOURCE_DIR "/examples/sensor.q27")});
    ASSERT_EQ(form.Documents().size(), 2u);
    for (TMDIChild* doc : form.Documents()) {
        // The read-out of the widest record of each document.
        doc->Chart1->readout(doc->RecordCount() - 1);
        ExpectWhole(doc, "document");
    }
    ExpectWhole(&form, "main window");

    const std::pair<const char*, std::function<void()>> dialogs[] = {
        {"record editor",
         [&] {
             TMDIChild* logger = form.Documents().back();
             form.ActivateDocument(logger);
             logger->SelectRow(3);
             form.HiddenEditMode = true; // the tall layout has the most labels
             form.InEditor().SetShowHook([this](TInEditor& dlg) { ExpectWhole(&dlg, "editor"); });
             form.OpenRecordEditor(logger);
         }},
        {"graph settings",
         [&] {
             form.GraphSetDialog().SetShowHook(
                 [this](TGraphSetDlg& dlg) { ExpectWhole(&dlg, "graph settings"); });
             form.GraphSetDialog().Execute();
         }},
        {"system settings",
         [&] {
             form.SystemSetDialog().SetShowHook(
                 [this](TSystemSetDlg& dlg) { ExpectWhole(&dlg, "system settings"); });
             form.SystemSetDialog().Execute();
         }},
        {"save prompt",
         [&] {
             form.CloseDialog().SetAnswerHook([this](TCloseDlg& dlg) {
                 ExpectWhole(&dlg, "save prompt");
                 return 2;
             });
             form.CloseDialog().Execute();
         }},
        {"print settings",
         [&] {
             form.PrintSetDialog().FormShow(PrintOptions{});
             form.PrintSetDialog().show();
             ExpectWhole(&form.PrintSetDialog(), "print settings");
             form.PrintSetDialog().hide();
         }},
        {"version box",
         [&] {
             form.AboutBox().FormShow();
             form.AboutBox().show();
             ExpectWhole(&form.AboutBox(), "version box");
             form.AboutBox().hide();
         }},
        {"connection prompt",
         [&] {
             form.ConnectPrompt().show();
             ExpectWhole(&form.ConnectPrompt(), "connection prompt");
             form.ConnectPrompt().hide();
         }},
        {"download dialog, logger",
         [&] {
             Simulator sim;
             if (TDataSaveDlg* dlg = Download(form, sim, "qmv27", "logger.q27")) {
                 ExpectWhole(dlg, "download dialog");
                 // A new download (F5 from the dialog) finds the room it needs already there.
                 const QSize size = dlg->size();
                 EXPECT_TRUE(dlg->actions().contains(form.Command("AcLoad")));
                 form.Command("AcLoad")->trigger();
                 EXPECT_EQ(dlg->Info->topLevelItemCount(), 30);
                 EXPECT_EQ(dlg->size(), size);
                 dlg->close();
             }
         }},
        {"download dialog, sensor",
         [&] {
             Simulator sim;
             if (TDataSaveDlg* dlg = Download(form, sim, "plx01", "sensor.q27")) {
                 ExpectWhole(dlg, "download dialog");
                 dlg->close();
             }
         }},
        {"timing dialog",
         [&] {
             TPLXSetDlg dlg(&form, form.Link(), &form.ConnectPrompt(), QStringLiteral("10"));
             dlg.show();
             ExpectWhole(&dlg, "timing dialog");
         }},
        {"communication window",
         [&] {
             form.CommWindow().show();
             form.CommWindow().ShowProgress(250);
             ExpectWhole(&form.CommWindow(), "communication window");
             form.CommWindow().close();
         }},
    };
    for (const auto& [what, run] : dialogs) {
        SCOPED_TRACE(what);
        run();
    }
}

// The main window with a logger and a sensor document, and the download dialog: for the README
// and the manual, in docs/ when QMV_WRITE_SCREENSHOTS is set, else beside the build.
TEST_P(LookTest, Screenshots) {
    TMainForm& form = LanguageForm();
    // Wide enough for two tiled documents that each show their read-out whole.
    form.resize(1800, 800);
    form.Command("AcStdLine")->setChecked(true);
    form.Command("AcPoint")->setChecked(true);
    form.OpenDroppedFiles({QStringLiteral(QMV_SOURCE_DIR "/examples/logger.q27"),
                           QStringLiteral(QMV_SOURCE_DIR "/examples/sensor.q27")});
    ASSERT_EQ(form.Documents().size(), 2u);
    form.Command("AcTile")->trigger();
    for (TMDIChild* doc : form.Documents()) {
        doc->SelectRow(3);
        doc->ShowDetails();
        doc->Chart1->readout(3);
        doc->DrawChart();
    }
    QCoreApplication::processEvents();

    const QString dir = qEnvironmentVariableIsSet("QMV_WRITE_SCREENSHOTS")
                            ? QStringLiteral(QMV_SOURCE_DIR "/docs")
                            : QStringLiteral(QMV_BINARY_DIR "/artifacts");
    QDir().mkpath(dir);
    const QString language = GetParam().codePage == 932 ? "ja" : "en";
    const auto save = [&](QWidget& w, const QString& name) {
        QCoreApplication::processEvents();
        // At most 256 colours: a few tens of kilobytes each.
        const QImage image = w.grab().toImage().convertToFormat(
            QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
        EXPECT_FALSE(image.isNull());
        EXPECT_TRUE(image.save(dir + "/" + name + "-" + language + ".png", "PNG", 0));
        return image;
    };
    ExpectWhole(&form, "pictured main window");
    const QImage main = save(form, QStringLiteral("main"));
    // Something was drawn beyond the background: the chart's blue series at least.
    int blue = 0;
    for (int y = 0; y < main.height(); y += 2)
        for (int x = 0; x < main.width(); x += 2)
            blue += QColor(main.pixel(x, y)) == QColor(0, 0, 255) ? 1 : 0;
    EXPECT_GT(blue, 50);

    Simulator sim;
    TDataSaveDlg* dlg = Download(form, sim, "qmv27", "logger.q27");
    ASSERT_NE(dlg, nullptr);
    dlg->Info->topLevelItem(0)->setSelected(true);
    ExpectWhole(dlg, "pictured download dialog");
    save(*dlg, QStringLiteral("download"));
}

INSTANTIATE_TEST_SUITE_P(Languages, LookTest,
                         ::testing::Values(Language{"English", "en/QMVLanguage.Lib", 1252},
                                           Language{"Japanese", "ja/QMVLanguage.Lib", 932}),
                         [](const auto& info) { return std::string(info.param.name); });

class PlacementTest : public AppTest {};

TEST_F(PlacementTest, NewDocumentsOpenInsideTheFrame) {
    TMainForm& form = Form();
    form.resize(900, 600);
    QCoreApplication::processEvents();
    const QRect area = form.MdiArea()->viewport()->rect();
    for (int i = 0; i < 5; ++i) {
        form.OpenDroppedFiles({QStringLiteral(QMV_SOURCE_DIR "/examples/logger.q27")});
        QCoreApplication::processEvents();
    }
    const QList<QMdiSubWindow*> subs = form.MdiArea()->subWindowList();
    ASSERT_EQ(subs.size(), 5);
    for (QMdiSubWindow* sub : subs) {
        EXPECT_TRUE(area.contains(sub->frameGeometry())) << sub->windowTitle().toStdString();
        EXPECT_EQ(sub->windowIcon().cacheKey(), form.windowIcon().cacheKey()); // not Qt's logo
    }
    // Tiled into a narrow strip, each chart still has half of its document.
    form.Command("AcTile")->trigger();
    QCoreApplication::processEvents();
    for (TMDIChild* doc : form.Documents())
        EXPECT_GE(doc->Chart1->width(), doc->width() / 2 - 4);
}

TEST(FileDialogFilter, PatternsShowOnceAndAllFilesMeansEveryFile) {
    EXPECT_EQ(QtFilter(QLatin1String(OpenFilter)),
              QStringLiteral("QMVwinFie (*.q27);;AllFiles (*)"));
    EXPECT_EQ(QtFilter(QLatin1String(TextFilter)), QStringLiteral("TextFiles (*.txt)"));
    EXPECT_EQ(QtFilter(QStringLiteral("Data|*.a;*.b")), QStringLiteral("Data (*.a *.b)"));
}

TEST(QtTranslation, JapaneseCodePageGivesJapaneseButtons) {
    const auto translator = InstallQtTranslation(932);
    ASSERT_NE(translator, nullptr) << "Qt's translations (qt6-translations-l10n) not installed";
    EXPECT_NE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
    EXPECT_EQ(QtTranslationLocale(1252), QLocale::system().name());
}

} // namespace
} // namespace qmv::test
