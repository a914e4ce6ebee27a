// A main window under test: scripted dialogs, English texts, settings and data folder in a
// temporary folder, a 1366 x 768 screen.
#pragma once

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "app/mainform.h"
#include "data/datafile.h"
#include "data/profile.h"
#include "data/version.h"
#include "document/chartview.h"
#include "document/closedlg.h"
#include "document/mdichild.h"
#include "tests/support/scripteddialogs.h"

namespace qmv::test {

inline recReadDataSeg LoggerRecord(int no, const std::string& level, const std::string& date,
                                   const std::string& note = "") {
    char dataNo[8];
    std::snprintf(dataNo, sizeof dataNo, "%05d", no);
    return {dataNo, "0100", "0200", "0300", level, "0", date, "1", "2", "1", "0", note};
}

inline recReadDataSeg SensorRecord(int no, const std::string& level, const std::string& date) {
    char dataNo[8];
    std::snprintf(dataNo, sizeof dataNo, "%05d", no);
    return {dataNo, "0000", "0000", "0000", level, "9", date, "9", "9", "9", "9", ""};
}

inline DocumentData LoggerDoc(const std::vector<std::string>& levels) {
    DocumentData d;
    d.Model = ModelQMV27;
    for (std::size_t i = 0; i < levels.size(); ++i)
        d.Records.push_back(
            LoggerRecord(static_cast<int>(i) + 1, levels[i],
                         "2010/05/31 14:" + std::string(i < 10 ? "0" : "") + std::to_string(i)));
    return d;
}

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        // Every QSettings of the run lands here, never in the user's own store.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, tmp_.filePath("config"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, tmp_.filePath("config"));
        QDir().mkpath(tmp_.filePath("prog"));
    }

    void TearDown() override {
        form_.reset();
        InterfaceTexts().Clear();
    }

    QString Path(const QString& name) const { return tmp_.filePath(name); }
    QString ProgramFolder() const { return tmp_.filePath("prog") + "/"; }
    QString DataFolderPath() const { return ProgramFolder() + "QMVData"; }

    MainFormOptions Options(const QStringList& args = {}) const {
        MainFormOptions o;
        o.arguments = args;
        o.languageFile = QStringLiteral(QMV_SOURCE_DIR "/lang/en/QMVLanguage.Lib");
        o.programFolder = ProgramFolder();
        o.screenSize = QSize(1366, 768);
        return o;
    }

    TMainForm& Form(const QStringList& args = {}) {
        form_ = std::make_unique<TMainForm>(Options(args));
        form_->show();
        return *form_;
    }

    static std::unique_ptr<QSettings> Store() {
        return std::make_unique<QSettings>(QStringLiteral("Brasketon"), QStringLiteral("QMV27Win"));
    }

    QString WriteDoc(const QString& name, const DocumentData& d) {
        const QString path = Path(name);
        EXPECT_EQ(SaveDataFile(path.toStdString(), d, VersionText()).status, SaveStatus::Ok);
        return path;
    }

    QString WriteRaw(const QString& name, const QByteArray& bytes) {
        const QString path = Path(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }

    // Answers the save prompt and remembers what it showed.
    void AnswerClose(int answer) {
        form_->CloseDialog().SetAnswerHook([this, answer](TCloseDlg& dlg) {
            closeLabels_.push_back(dlg.lbFileName->text());
            closeMessages_.push_back(dlg.lbCloseMsg0->text());
            allSaveEnabled_.push_back(dlg.btnAllSave->isEnabled());
            return answer;
        });
    }

    QTemporaryDir tmp_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<TMainForm> form_;
    std::vector<QString> closeLabels_;
    std::vector<QString> closeMessages_;
    std::vector<bool> allSaveEnabled_;
};

} // namespace qmv::test
