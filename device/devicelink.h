// The link to the instrument that every device command shares: the serial component, the
// receive buffer its events fill, the message-pumping wait, the identification exchange and the
// frame a command runs in (find the port, open, identify, exchange, close).
//
// The main window owns one DeviceLink. Nothing here shows a window: what the window does around
// a command (the connection prompt, the hourglass, disabling itself) comes in through
// DeviceCommandUi, and outcomes are returned as values for the caller to put into words.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <string>
#include <vector>

#include "device/devicetype.h"
#include "serial/commx.h"
#include "serial/portdiscovery.h"

namespace qmv {

// A name for logs and the command-line tool ("none", "QMV-27", "PLX01").
const char* DeviceTypeName(int deviceType);

// Receive buffer capacity of each command; every one holds at least the identification reply.
constexpr int RecvCapacityIdentify = 20;
constexpr int RecvCapacityClear = 20;
constexpr int RecvCapacityClock = 100;
constexpr int RecvCapacityTiming = 100;
constexpr int RecvCapacityDownload = 1200;

// How long a command waits for its reply after the line has been written.
constexpr int ReplyWaitMs = 800;    // TYPE, CLR, INFO, SET:
constexpr int ReplyWaitBbrMs = 500; // BBR:

constexpr int TypeReplyBytes = 15;
constexpr int CommandTries = 3;

// Sum of the bytes modulo 256 as two upper-case hexadecimal digits.
std::string ChecksumText(const std::string& bytes);
std::string ChecksumText(const char* data, int count);

// A command with a payload: name ":" checksum ":" payload CR LF (name without its colon).
std::string FramedCommand(const std::string& name, const std::string& payload);

// Judges an identification reply: the device type for exactly 15 bytes whose bytes 5 and 6 hold
// the upper-case checksum of bytes 8 to 12 and whose bytes 8 to 12 are a known identifier,
// otherwise DeviceUnknown.
int JudgeTypeReply(const char* data, int count);

// What the window does around a device command. The default does nothing and answers the
// connection prompt with Cancel, which is what runs without windows.
class DeviceCommandUi {
public:
    virtual ~DeviceCommandUi() = default;
    // The connection prompt: true to search again, false to give up.
    virtual bool AskToConnect() { return false; }
    // Hourglass cursor, one pass of the message pump, main window disabled.
    virtual void BeginCommand() {}
    // Main window enabled again, normal cursor.
    virtual void EndCommand() {}
};

// How the frame ended before or around the command's own exchange.
enum class FrameStatus {
    Ran,             // the port was open, DeviceType set, and the command ran
    PortCancelled,   // the user gave up at the connection prompt (no port found): no message
    PortNotSearched, // DevicePort was not empty: no message
    OpenFailed,      // the port could not be opened: Msg/MsgComErr0
};

class DeviceLink : public QObject {
    Q_OBJECT
public:
    explicit DeviceLink(QObject* parent = nullptr);
    ~DeviceLink() override;

    // The serial component, with the instrument's line speed; its OnReceive is Comm1Receive.
    TCommX Comm1;
    // Bytes received since the last ClearLink, in order. Its size is the running command's
    // capacity (empty while no command runs); bytes beyond it are dropped.
    std::vector<char> RecvBuffer;
    int RecvCount = 0;
    // Device path of the instrument's port; empty means not found.
    QString DevicePort;
    // Result of the latest identification.
    int DeviceType = DeviceUnknown;

    // Not owned; nullptr runs without any window.
    void SetUi(DeviceCommandUi* ui);
    DeviceCommandUi& Ui();

    // OnReceive of Comm1: appends what arrived to RecvBuffer.
    void Comm1Receive(TCustomCommX* sender, int receiveSize);
    // Waits ms milliseconds while the event loop runs, without spinning; returns at once when
    // the application is quitting.
    void WaitMs(int ms);
    // Waits while the event loop runs until Comm1's transmit thread has written everything queued
    // (woken by its TransEmptied, not by polling), at most the write time-out and one second
    // more; returns at once when the line is gone or the application is quitting.
    void WaitSent();
    // Called at the start of every WaitMs with its length: lets a log or a test follow the
    // protocol's waits without timing them.
    std::function<void(int ms)> OnWait;
    // True once the application asked to quit during a wait.
    bool Terminating() const { return terminating_; }
    // Drops pending output and input and empties RecvBuffer; the step before every try.
    void ClearLink();
    // Writes line, waits until it has left, then waits replyWaitMs for the reply.
    void SendAndWait(const std::string& line, int replyWaitMs);
    // Up to tries tries of ClearLink and SendAndWait; true as soon as a try brought a byte.
    bool Exchange(const std::string& line, int replyWaitMs, int tries = CommandTries);
    // Waits up to waits times waitMs while RecvCount stays below count; true once it reached it.
    bool WaitForCount(int count, int waits, int waitMs);
    // The identification exchange: DeviceUnknown, DeviceQMV27 or DevicePLX01.
    int IdentifyDevice();
    // The bytes received so far.
    QByteArray Received() const;

    // Pieces of the frame, for commands that arrange the steps their own way (the download).
    // Empties DevicePort and searches for the port, with the connection prompt of the UI.
    FindDevicePortResult FindPort();
    // Opens Comm1 on DevicePort; false when it cannot be opened, with OpenRefusal and OpenHolder
    // telling why when the user can do something about it.
    bool OpenPort();
    PortRefusal OpenRefusal = PortRefusal::None;
    std::string OpenHolder;
    // A zero-filled receive buffer of the given capacity, and its release.
    void AllocateRecvBuffer(int capacity);
    void FreeRecvBuffer();
    // The end of every command, also after a failure: clear the link, close, free the buffer.
    void FinishLink();

    // The frame of a device command: find the port, open it, begin the command in the UI,
    // allocate the receive buffer, identify the device, run command, and always finish the link
    // and end the command in the UI. An exception from command passes on after the cleanup.
    FrameStatus RunFrame(int capacity, const std::function<void()>& command);

private:
    // Runs the event loop until ms have passed or, when given, Comm1 emits TransEmptied; notes
    // an application quitting meanwhile.
    void RunEventLoop(int ms, bool untilSent);

    DeviceCommandUi defaultUi_;
    DeviceCommandUi* ui_ = &defaultUi_;
    bool terminating_ = false;
};

} // namespace qmv
