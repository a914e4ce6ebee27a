// Every window reads whole in English and Japanese, new documents open inside the frame, and
// Qt's own dialogs speak the language of the program's texts.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <functional>

#include "app/aboutbox.h"
#include "app/systemsetdlg.h"
#include "apptest.h"
#include "data/codepage.h"
#include "device/tfmcomm.h"
#include "document/graphsetdlg.h"
#include "document/ineditor.h"
#include "output/printsetdlg.h"
#include "serial/okbottomdlg.h"
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
    }
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(window) || button->text().isEmpty())
            continue;
        report(button, button->text(), button->sizeHint().width(), button->width());
    }
    for (QTreeWidget* list : window->findChildren<QTreeWidget*>()) {
        if (!list->isVisibleTo(window))
            continue;
        const QFontMetrics fm = list->fontMetrics();
        for (int c = 0; c < list->columnCount(); ++c) {
            if (list->isColumnHidden(c))
                continue;
            const QString caption = list->headerItem()->text(c);
            if (!caption.isEmpty())
                report(list, caption, list->header()->sectionSizeHint(c), list->columnWidth(c));
            for (int r = 0; r < list->topLevelItemCount(); ++r) {
                const QString text = list->topLevelItem(r)->text(c);
                report(list, text, fm.horizontalAdvance(text) + 4, list->columnWidth(c));
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
    for (QMdiSubWindow* sub : subs)
        EXPECT_TRUE(area.contains(sub->frameGeometry())) << sub->windowTitle().toStdString();
    // Tiled into a narrow strip, each chart still has half of its document.
    form.Command("AcTile")->trigger();
    QCoreApplication::processEvents();
    for (TMDIChild* doc : form.Documents())
        EXPECT_GE(doc->Chart1->width(), doc->width() / 2 - 4);
}

TEST(QtTranslation, JapaneseCodePageGivesJapaneseButtons) {
    const auto translator = InstallQtTranslation(932);
    ASSERT_NE(translator, nullptr) << "Qt's translations (qt6-translations-l10n) not installed";
    EXPECT_NE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
    EXPECT_EQ(QtTranslationLocale(1252), QLocale::system().name());
}

} // namespace
} // namespace qmv::test
