// Platform dialogs for tests: records every dialog shown and answers from a script.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "ui/platformdialogs.h"

namespace qmv::test {

struct ShownMessage {
    QString text;
    MessageKind kind;
    MessageButtons buttons;
};

class ScriptedDialogs final : public PlatformDialogs {
public:
    ScriptedDialogs() { SetDialogs(this); }
    ~ScriptedDialogs() override { SetDialogs(nullptr); }

    // Answers, consumed in order. An unscripted message box answers IdOk (IdCancel when it has
    // no OK button); an unscripted file dialog or prompt is cancelled.
    std::deque<int> messageAnswers;
    std::deque<QStringList> openAnswers; // an empty list cancels
    std::deque<QString> saveAnswers;     // an empty name cancels
    QString folderAnswer;                // what every folder chooser answers; empty cancels
    std::deque<QString> inputAnswers;    // a null QString cancels
    std::deque<bool> printAnswers;

    // What was shown.
    std::vector<ShownMessage> messages;
    std::vector<FileDialogRequest> openRequests;
    std::vector<FileDialogRequest> saveRequests;
    std::vector<QString> folderStarts; // where each folder chooser started
    std::vector<QString> inputPrompts;
    int printDialogs = 0;
    int beeps = 0;
    std::vector<QString> desktopOpened;
    bool desktopStartsViewer = true; // false: as on a desktop with no program for the file

    std::function<void()> whileShown; // runs while each message box is up
    int Message(QWidget*, const QString& text, MessageKind kind, MessageButtons buttons) override {
        messages.push_back({text, kind, buttons});
        if (whileShown)
            whileShown();
        if (!messageAnswers.empty()) {
            const int a = messageAnswers.front();
            messageAnswers.pop_front();
            return a;
        }
        return buttons != MessageButtons::YesNo && buttons != MessageButtons::YesNoCancel
                   ? IdOk
                   : IdCancel;
    }

    bool OpenFiles(QWidget*, const FileDialogRequest& request, QStringList& chosen) override {
        openRequests.push_back(request);
        if (openAnswers.empty())
            return false;
        chosen = openAnswers.front();
        openAnswers.pop_front();
        return !chosen.isEmpty();
    }

    bool SaveFile(QWidget*, const FileDialogRequest& request, QString& chosen) override {
        saveRequests.push_back(request);
        if (saveAnswers.empty())
            return false;
        chosen = saveAnswers.front();
        saveAnswers.pop_front();
        return !chosen.isEmpty();
    }

    bool ChooseFolder(QWidget*, const QString&, const QString& folder, QString& chosen) override {
        folderStarts.push_back(folder);
        chosen = folderAnswer;
        return !chosen.isEmpty();
    }

    bool InputQuery(QWidget*, const QString&, const QString& prompt, QString& value) override {
        inputPrompts.push_back(prompt);
        if (inputAnswers.empty())
            return false;
        const QString a = inputAnswers.front();
        inputAnswers.pop_front();
        if (a.isNull())
            return false;
        value = a;
        return true;
    }

    bool PrintDialog(QWidget*, QPrinter&) override {
        ++printDialogs;
        if (printAnswers.empty())
            return false;
        const bool a = printAnswers.front();
        printAnswers.pop_front();
        return a;
    }

    void Beep() override { ++beeps; }
    bool OpenWithDesktop(const QString& path) override {
        desktopOpened.push_back(path);
        return desktopStartsViewer;
    }

    QString LastMessage() const { return messages.empty() ? QString() : messages.back().text; }
};

} // namespace qmv::test
