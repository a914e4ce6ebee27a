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
    // When the program sent a request again without having seen the reply to the one before
    // (traffic: the program's own log of the run), and the simulator's log shows that reply
    // beginning after the program's wait for it had ended: what happened, else empty. Only a
    // machine too busy to run the simulator makes a reply that late; a reply there in time and
    // not taken in is the program's fault.
    QString LateReply(const ProgramTraffic& traffic) const;
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
// write queued (by its size), each read (by its bytes) and the end of each wait, with the time on
// the monotonic clock the simulator's log uses. Recorded while the object lives.
class ProgramTraffic {
public:
    enum Kind { Queued, Received, Waited };
    struct Event {
        Kind kind;
        int size;         // bytes queued
        QByteArray bytes; // bytes received
        double seconds;
    };
    ProgramTraffic();
    ~ProgramTraffic();
    ProgramTraffic(const ProgramTraffic&) = delete;
    ProgramTraffic& operator=(const ProgramTraffic&) = delete;

    QList<Event> Events() const;
};

// After a run of Conclusively: false when it stands; true when a reply came too late for it
// (Simulator::LateReply), after saying so on standard error and starting the simulator afresh.
bool RunAgain(Simulator& sim, const ProgramTraffic& traffic, int attempt);

// Runs run() (a command against the simulator, which has been started) and gives its result. A
// run in which the simulator's reply came after the program's wait for it ended shows nothing
// about the program: it runs again, up to five times, each time said on standard error.
template <typename Run> auto Conclusively(Simulator& sim, Run run) {
    for (int attempt = 1;; ++attempt) {
        ProgramTraffic traffic;
        auto result = run();
        if (!RunAgain(sim, traffic, attempt))
            return result;
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
