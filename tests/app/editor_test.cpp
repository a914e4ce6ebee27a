// The record editor through the main window's commands and scripted dialogs, and the hidden edit
// mode that opens its level and filter fields.
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QSpinBox>
#include <QTest>
#include <QUndoStack>
#include <functional>

#include "apptest.h"
#include "document/ineditor.h"
#include "document/panelbar.h"
#include "ui/uitext.h"

namespace qmv::test {
namespace {

DocumentData SensorDoc(int model, const std::vector<std::string>& levels) {
    DocumentData d;
    d.Model = model;
    for (std::size_t i = 0; i < levels.size(); ++i)
        d.Records.push_back(SensorRecord(static_cast<int>(i) + 1, levels[i],
                                         "2010/05/31 14:0" + std::to_string(i)));
    return d;
}

std::vector<std::string> Levels(const TMDIChild* doc) {
    std::vector<std::string> out;
    for (const recReadDataSeg& r : doc->Records())
        out.push_back(r.MinDb);
    return out;
}

class EditorTest : public AppTest {
protected:
    TMDIChild* Open(const DocumentData& d) {
        if (!form_)
            Form();
        form_->OpenDroppedFiles({WriteDoc(QStringLiteral("e%1.q27").arg(files_++), d)});
        return form_->ActiveDocument();
    }

    // Runs the edit command on row; work stands in for the user at the shown editor. Returns
    // whether the editor was shown at all.
    bool Edit(TMDIChild* doc, int row, const std::function<void(TInEditor&)>& work) {
        bool shown = false;
        form_->InEditor().SetShowHook([&](TInEditor& e) {
            shown = true;
            work(e);
        });
        form_->ActivateDocument(doc);
        doc->SelectRow(row);
        form_->Command("AcDataEdit")->trigger();
        return shown;
    }

    // Answers the access-code prompt.
    void SecretMode(const QString& answer) {
        dialogs_.inputAnswers.push_back(answer);
        form_->Command("SecretMode")->trigger();
    }

    int files_ = 0;
};

TEST_F(EditorTest, DatesOfTheTwoCenturiesOnlyAndRealOnes) {
    TMDIChild* doc = Open(LoggerDoc({"120"}));
    const struct {
        const char* date;
        bool accepted;
    } cases[] = {
        {"1899/12/31 00:00", false},
        {"2009/02/30 10:00", false},
        {"2099/12/31 23:59", true},
    };
    for (const auto& c : cases) {
        dialogs_.messages.clear();
        bool accepted = false;
        ASSERT_TRUE(Edit(doc, 0, [&](TInEditor& e) {
            e.meNichiji->setText(c.date);
            e.edNote->setText("n");
            e.btnSettei->click();
            accepted = e.result() == QDialog::Accepted;
        }));
        EXPECT_EQ(accepted, c.accepted) << c.date;
        if (c.accepted) {
            EXPECT_TRUE(dialogs_.messages.empty());
            EXPECT_EQ(doc->Records()[0].Date, c.date);
            EXPECT_EQ(doc->Records()[0].Note, "n");
            EXPECT_EQ(doc->Info->topLevelItem(0)->text(3), c.date);
            EXPECT_TRUE(doc->Modified());
        } else {
            ASSERT_EQ(dialogs_.messages.size(), 1u) << c.date;
            EXPECT_EQ(dialogs_.messages[0].text, Tx("Msg", "MsgDateErr"));
            EXPECT_EQ(dialogs_.messages[0].kind, MessageKind::Warning);
            EXPECT_EQ(doc->Records()[0].Date, "2010/05/31 14:00"); // nothing written
            EXPECT_FALSE(doc->Modified());
        }
    }
}

TEST_F(EditorTest, NumberFieldsTakeDigitsAndTheKeysThatMoveOn) {
    TMDIChild* doc = Open(SensorDoc(ModelGZNMax, {"45", "50"}));
    ASSERT_TRUE(Edit(doc, 1, [&](TInEditor& e) {
        e.show();
        e.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&e));
        EXPECT_EQ(e.edRecord->text(), "2");
        EXPECT_EQ(e.edDataNo->text(), "00002");
        e.edDataNo->setFocus();
        e.edDataNo->clear();
        QTest::keyClicks(e.edDataNo, "3a0-0 ");
        EXPECT_EQ(e.edDataNo->text(), "300");
        QTest::keyClick(e.edDataNo, Qt::Key_Tab); // leaving: a sensor record number stops at 250
        EXPECT_TRUE(e.meNichiji->hasFocus());
        EXPECT_EQ(e.edDataNo->text(), "250");
        QTest::keyClick(e.meNichiji, Qt::Key_Tab, Qt::ShiftModifier);
        EXPECT_TRUE(e.edDataNo->hasFocus());
        e.edDataNo->clear();
        QTest::keyClick(e.edDataNo, Qt::Key_Tab); // left empty: the record's own number
        EXPECT_EQ(e.edDataNo->text(), "00002");
        e.edDataNo->setText("300");

        e.edNote->setFocus();
        QTest::keyClicks(e.edNote, QString(20, QLatin1Char('x')));
        EXPECT_EQ(e.edNote->text(), QString(14, QLatin1Char('x'))); // 14 bytes of the code page

        e.edDataNo->setFocus();
        QTest::keyClick(e.edDataNo, Qt::Key_Return); // the default button, from inside the field
        EXPECT_EQ(e.result(), QDialog::Accepted);
    }));
    EXPECT_EQ(doc->Records()[1].DataNo, "00250");
    EXPECT_EQ(doc->Records()[1].Note, std::string(14, 'x'));
    EXPECT_EQ(doc->Records()[1].MinDb, "050"); // re-padded, not changed

    // The arrows still step the level field in the hidden edit mode.
    TMDIChild* logger = Open(LoggerDoc({"120"}));
    SecretMode("kettlebroom");
    ASSERT_TRUE(Edit(logger, 0, [&](TInEditor& e) {
        e.seOnatsu->setFocus();
        QTest::keyClicks(e.seOnatsu, "x");
        QTest::keyClick(e.seOnatsu, Qt::Key_Up);
        EXPECT_EQ(e.seOnatsu->value(), 121);
    }));
}

TEST_F(EditorTest, AnotherSensorModelMovesEveryLevel) {
    TMDIChild* doc = Open(SensorDoc(ModelGZNMax, {"45", "050", "-5"})); // read back 045, -05
    const DocumentData before = doc->Data();
    form_->InEditor().SetShowHook([](TInEditor& e) {
        EXPECT_FALSE(e.edQMV27->isVisibleTo(&e));
        ASSERT_EQ(e.cbModelList->count(), 3);
        EXPECT_EQ(e.cbModelList->currentText(), "GZN-4P MAX");
        e.cbModelList->setCurrentIndex(1); // MID
        e.btnSettei->click();
    });
    // A double click on a row opens the editor as the command does.
    doc->SelectRow(1);
    emit doc->Info->itemDoubleClicked(doc->Info->topLevelItem(1), 1);
    EXPECT_EQ(Levels(doc), (std::vector<std::string>{"65", "70", "15"}));
    EXPECT_EQ(doc->Model(), ModelGZNMid);
    EXPECT_EQ(doc->ModelName(), "GZN-4P MID");
    EXPECT_EQ(doc->stbModel->Text(1), "GZN-4P MID");
    EXPECT_EQ(doc->SelectedIndex(), 1);
    EXPECT_TRUE(dialogs_.messages.empty());
    // One undo step takes the whole conversion back.
    doc->UndoStack()->undo();
    std::string now, saved;
    ASSERT_TRUE(FormatDataFile(doc->Data(), VersionText(), now));
    ASSERT_TRUE(FormatDataFile(before, VersionText(), saved));
    EXPECT_EQ(now, saved);
    EXPECT_EQ(doc->stbModel->Text(1), "GZN-4P MAX");

    // Levels the data file could not hold are clamped, and the user is told how many.
    doc = Open(SensorDoc(ModelGZNMax, {"980", "100"}));
    ASSERT_TRUE(Edit(doc, 0, [](TInEditor& e) {
        e.cbModelList->setCurrentIndex(2); // MIN
        e.btnSettei->click();
    }));
    EXPECT_EQ(Levels(doc), (std::vector<std::string>{"999", "140"}));
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0].text, Tx("Msg", "MsgLevelClamp") + " 1");
    EXPECT_TRUE(doc->SaveToFile(Path("clamped.q27")));
}

TEST_F(EditorTest, WhatTheFieldsCannotShowIsWrittenBackAsItWas) {
    DocumentData d = LoggerDoc({"120"});
    d.Records.push_back(LoggerRecord(1234, "130", "2010/05/31 15:00"));
    d.Records[0].HpfCode = "9";
    d.Records[0].NrCode = "7";
    d.Records[1].Note = "\x81\x40"
                        "ab"; // bytes the code page cannot show
    TMDIChild* doc = Open(d);
    ASSERT_TRUE(Edit(doc, 0, [](TInEditor& e) {
        EXPECT_FALSE(e.TallLayout());
        EXPECT_FALSE(e.seOnatsu->isEnabled());
        EXPECT_EQ(e.cbHPF->currentIndex(), -1);
        EXPECT_EQ(e.edDataNo->text(), "001");
        e.edNote->setText("checked");
        e.btnSettei->click();
    }));
    const recReadDataSeg& r = doc->Records()[0];
    EXPECT_EQ(r.Note, "checked");
    EXPECT_EQ(r.HpfCode, "9");
    EXPECT_EQ(r.NrCode, "7");
    EXPECT_EQ(r.LpfCode, "2"); // codes within the lists stay as they were
    EXPECT_EQ(r.NfCode, "1");
    EXPECT_EQ(r.MinDb, "120");

    // A logger record number beyond three digits is not cut to fit the field.
    ASSERT_TRUE(Edit(doc, 1, [](TInEditor& e) {
        EXPECT_EQ(e.edDataNo->text(), "1234");
        e.btnSettei->click();
    }));
    EXPECT_EQ(doc->Records()[1].DataNo, "01234");
    EXPECT_EQ(doc->Records()[1].Note, "\x81\x40"
                                      "ab"); // a note nobody touched
}

TEST_F(EditorTest, DeleteAsksAndTheLastRecordLeavesAnEmptyDocument) {
    TMDIChild* doc = Open(SensorDoc(ModelGZNMid, {"45", "50", "55"}));
    dialogs_.messageAnswers = {IdCancel};
    ASSERT_TRUE(Edit(doc, 2, [](TInEditor& e) {
        e.btnDelete->click();
        EXPECT_NE(e.result(), QDialog::Accepted); // stays open
        e.btnDelete->click();
        EXPECT_EQ(e.result(), QDialog::Accepted);
    }));
    ASSERT_EQ(dialogs_.messages.size(), 2u);
    EXPECT_EQ(dialogs_.messages[0].text, Tx("Msg", "MsgDel"));
    EXPECT_EQ(Levels(doc), (std::vector<std::string>{"045", "050"}));
    EXPECT_EQ(doc->SelectedIndex(), 1); // the new last row

    doc = Open(SensorDoc(ModelGZNMid, {"45"}));
    ASSERT_TRUE(Edit(doc, 0, [](TInEditor& e) { e.btnDelete->click(); }));
    EXPECT_EQ(doc->RecordCount(), 0);
    EXPECT_EQ(doc->Model(), ModelNone);
    EXPECT_EQ(doc->ModelName(), "");
    EXPECT_EQ(doc->Info->topLevelItemCount(), 0);
    EXPECT_TRUE(doc->Modified());
    // With no records the editor has nothing to open on.
    EXPECT_FALSE(Edit(doc, 0, [](TInEditor&) {}));
}

TEST_F(EditorTest, HiddenEditModeNeedsTheExactCode) {
    TMDIChild* logger = Open(LoggerDoc({"120"}));
    TMDIChild* sensor = Open(SensorDoc(ModelGZNMax, {"45"}));

    // The entry is in the help menu, hidden, and its shortcut works all the same.
    bool hiddenEntry = false;
    for (QAction* menu : form_->menuBar()->actions())
        if (menu->menu())
            for (QAction* a : menu->menu()->actions())
                hiddenEntry = hiddenEntry || (a->text() == "SecretMode" && !a->isVisible());
    EXPECT_TRUE(hiddenEntry);
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    dialogs_.inputAnswers = {"wrong"};
    QTest::keyClick(form_.get(), Qt::Key_F10, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(dialogs_.inputPrompts.size(), 1u);
    EXPECT_EQ(dialogs_.inputPrompts[0], "PassWord");
    EXPECT_EQ(dialogs_.LastMessage(), Tx("Msg", "MsgPassErr"));

    SecretMode("KETTLEBROOM");
    SecretMode(QString()); // cancelled
    EXPECT_EQ(dialogs_.LastMessage(), Tx("Msg", "MsgPassErr"));
    EXPECT_EQ(dialogs_.messages.back().kind, MessageKind::Error);
    EXPECT_FALSE(form_->HiddenEditMode);
    EXPECT_TRUE(Edit(logger, 0, [](TInEditor& e) { EXPECT_FALSE(e.TallLayout()); }));

    SecretMode("kettlebroom");
    EXPECT_EQ(dialogs_.LastMessage(), Tx("Msg", "MsgEdit"));
    EXPECT_EQ(dialogs_.messages.back().kind, MessageKind::Information);
    SecretMode("wrong");
    EXPECT_TRUE(form_->HiddenEditMode); // stays on for the run

    ASSERT_TRUE(Edit(logger, 0, [](TInEditor& e) {
        EXPECT_TRUE(e.TallLayout());
        EXPECT_TRUE(e.seOnatsu->isEnabled());
        EXPECT_TRUE(e.cbHPF->isEnabled());
        e.seOnatsu->setValue(75);
        e.cbHPF->setCurrentIndex(3);
        e.cbNF->setCurrentIndex(0);
        e.btnSettei->click();
    }));
    EXPECT_EQ(logger->Records()[0].MinDb, "075");
    EXPECT_EQ(logger->Records()[0].HpfCode, "3");
    EXPECT_EQ(logger->Records()[0].NfCode, "0");

    ASSERT_TRUE(Edit(sensor, 0, [](TInEditor& e) {
        EXPECT_FALSE(e.TallLayout());
        EXPECT_FALSE(e.seOnatsu->isEnabled());
        EXPECT_LT(e.height(), 330);
    }));
}

} // namespace
} // namespace qmv::test
