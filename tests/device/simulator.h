// Runs the instrument simulator for a test: starts qmvsim on a pseudo-terminal, points
// QMVWIN_SERIAL_DEVICE at it and reads back the bytes the program sent from its log.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "device/devicelink.h"

namespace qmv::test {

class ProgramTraffic;

class Simulator {
public:
    Simulator() = default;
    ~Simulator() { Stop(); }

    // Starts qmvsim with args (plus its log) and returns once it reads its terminal; false when
    // it did not report its terminal.
    bool Start(const QStringList& args = {});
    // Stops it (SIGTERM, then SIGKILL) and unsets QMVWIN_SERIAL_DEVICE.
    void Stop();
    // Starts it afresh with the arguments of the last Start.
    bool Restart() { return Start(QStringList(args_)); }

    QString Path() const { return path_; }
    QString LogPath() const { return dir_.filePath(QStringLiteral("sim.log")); }
    // Every byte the program has written so far, in order, as the simulator received it.
    QByteArray Received() const;
    // The simulator's event lines ("EV" entries), in order, up to what the program has written.
    QStringList Events() const;
    // Lets the next held piece of a reply go (with --split-hold).
    void Release();
    // True when the program sent a request again although the simulator had answered the one
    // before, and nothing had come in between (traffic: the program's own log of the run): the
    // answer was later than the program's reply wait, which only a machine too busy to hand it
    // over does. Such a run says nothing about the program and is run again.
    bool AnsweredTooLate(const ProgramTraffic& traffic) const;
    // True when the process has ended by itself (it closes the line and ends when unplugged).
    bool Finished() const { return process_.state() == QProcess::NotRunning; }

    static QString Executable();

private:
    // Makes the simulator read whatever is waiting on its side of the terminal and waits until
    // it has logged that, so that its log holds every byte written before the call. False when
    // it did not answer.
    bool Sync() const;

    QTemporaryDir dir_;
    mutable QProcess process_; // Sync watches it end
    QString path_;
    QStringList args_;
    mutable int syncs_ = 0;
};

// The program's own traffic as its serial component logs it on the main thread, in order: each
// write queued (by its size) and each read (by its bytes). Recorded while the object lives.
class ProgramTraffic {
public:
    struct Event {
        bool queued; // else received
        int size;
        QByteArray bytes; // received bytes
    };
    ProgramTraffic();
    ~ProgramTraffic();
    ProgramTraffic(const ProgramTraffic&) = delete;
    ProgramTraffic& operator=(const ProgramTraffic&) = delete;

    QList<Event> Events() const;
    // Bytes received after the n-th write (from 1) and before the next one.
    QByteArray ReceivedAfterWrite(int n) const;
};

// Runs run() (a command against the simulator, which has been started) and gives its result. A
// run in which the machine was too busy to hand a prompt answer over within the program's reply
// wait (AnsweredTooLate) shows nothing about the program: the simulator is started afresh and
// run() runs again, up to five times.
template <typename Run> auto Conclusively(Simulator& sim, Run run) {
    for (int attempt = 1;; ++attempt) {
        ProgramTraffic traffic;
        auto result = run();
        if (!sim.AnsweredTooLate(traffic))
            return result;
        if (attempt == 5) {
            ADD_FAILURE() << "five runs in a row on a machine too busy for the reply waits";
            return result;
        }
        if (!sim.Restart()) {
            ADD_FAILURE() << "simulator did not start";
            return result;
        }
    }
}

// Records what a device command asked of the window around it.
struct CountingUi : DeviceCommandUi {
    int prompts = 0, begins = 0, ends = 0;
    bool AskToConnect() override {
        ++prompts;
        return false;
    }
    void BeginCommand() override { ++begins; }
    void EndCommand() override { ++ends; }
};

} // namespace qmv::test
