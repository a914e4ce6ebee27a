// The serial port component: owns one serial device while it is open, writes through a transmit
// thread fed with chunks and watches the line with a receive thread whose events are handed over
// to the main thread one at a time (the thread waits until each handler has run).
//
// Every public operation and every event runs on the main thread. The port is opened for the
// duration of one device command and closed afterwards.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "serial/portrefusal.h"

namespace qmv {

// Raised by Open and by the setters of an open port; what() is one of the fixed texts below.
class ECommError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    // A device that could not be opened: the fixed text, and why when the user can act on it.
    ECommError(const char* text, PortRefusal refusal, std::string holder)
        : std::runtime_error(text), refusal_(refusal), holder_(std::move(holder)) {}

    PortRefusal Refusal() const { return refusal_; }
    // The program holding a busy device, "name (pid N)", when the system could tell.
    const std::string& Holder() const { return holder_; }

private:
    PortRefusal refusal_ = PortRefusal::None;
    std::string holder_;
};

// The fixed texts ECommError carries.
namespace commtext {
inline constexpr const char* AlreadyOpen = "The port is already opened.";
inline constexpr const char* NotOpened = "A port has not opened!!!!!";
inline constexpr const char* BitRate = "The error occurred in a setup of transmission speed.";
inline constexpr const char* CharSize =
    "The error occurred in a setup of the number of communication bits.";
inline constexpr const char* Parity =
    "The error occurred in a setup of a communication parity check.";
inline constexpr const char* StopBit =
    "The error occurred in a setup of the number of communication stop bits.";
inline constexpr const char* FlowCtrl =
    "The error occurred in a setup of a communication flow control.";
inline constexpr const char* TimeOut = "The error occurred in a setup of communication timeot.";
inline constexpr const char* XonChar = "The error occurred in a setup of the Xon charactor.";
inline constexpr const char* XoffChar = "The error occurred in a setup of the Xoff charactor.";
inline constexpr const char* BufLen =
    "The error occurred in a buffer setup of the port for communication.";
inline constexpr const char* TransThread = "The thread for transmission was ungenerable";
inline constexpr const char* ReceiveThread = "The thread for reception was ungenerable";
} // namespace commtext

enum TCommParityBits : int { cpbNone, cpbOdd, cpbEven };
enum TCommStopBits : int { csb1, csb1p5, csb2 };
enum TCommFlowCtrls : int { cfcRtsCts, cfcDtrDsr, cfcXonXoff, cfcHalfHigh, cfcHalfLow, cfcNone };

// Line error bits given to OnError.
enum TCommErrorBits : int {
    CommErrOverrun = 0x02,
    CommErrParity = 0x04,
    CommErrFraming = 0x08,
};

class TCustomCommX;

using TCommReceiveEvent = std::function<void(TCustomCommX* sender, int receiveSize)>;
using TCommBreakEvent = std::function<void(TCustomCommX* sender)>;
using TCommErrEvent = std::function<void(TCustomCommX* sender, int errorState)>;

namespace commx_detail {
struct Session;
struct HandOverLink;
} // namespace commx_detail

class TCustomCommX : public QObject {
    Q_OBJECT
public:
    explicit TCustomCommX(QObject* parent = nullptr);
    ~TCustomCommX() override;

    TCustomCommX(const TCustomCommX&) = delete;
    TCustomCommX& operator=(const TCustomCommX&) = delete;

    // Opens PortName, applies every setting and starts both threads. Throws ECommError; a
    // failure after the device was opened leaves the component closed.
    void Open();
    // Stops both threads (without waiting for them) and releases the device; nothing if closed.
    void Close();
    bool IsOpen() const;

    // Queues count bytes in chunks of at most BufLenTrans bytes; false if closed.
    virtual bool SendData(const char* data, int count);
    // The bytes as they are: no terminator or line end is added. Empty text: true at once.
    bool SendString(const std::string& text);
    bool SendString(const QByteArray& text);
    // Reads up to count bytes, waiting at most TimeOutReceive ms; the number read, or -1.
    virtual int ReceiveData(char* buffer, int count);

    // Bytes handed to the transmit thread and not yet processed; 0 when closed. TransEmptied
    // tells when it has come down to 0, so that a caller can wait for it without polling.
    int TransCount() const;
    // Bytes the driver still holds for the line (written by the transmit thread, not yet sent);
    // 0 when closed, and always 0 on a pseudo-terminal, which hands them on at once.
    int OutputQueue() const;
    // Bytes waiting in the driver's input queue (also clears the line-error state); 0 when closed.
    int ReceiveCount();
    // Drops everything not yet sent; returns when TransCount is 0 (or, should the transmit thread
    // not get to run, after two seconds: what it still holds is dropped when it does).
    void PurgeTrans();
    // Drops everything received and not yet read.
    void PurgeReceive();
    void SetRTS(bool on);
    void SetDTR(bool on);

    // Properties. Setters store the value; on an open port they apply it at once and throw
    // ECommError when the driver refuses it. Setting PortName on an open port reopens it.
    QString PortName() const { return FPortName; }
    void SetPortName(const QString& value);
    int BitRate() const { return FBitRate; }
    void SetBitRate(int value); // supported from 10 upwards
    int CharSize() const { return FCharSize; }
    void SetCharSize(int value);
    TCommParityBits ParityBit() const { return FParityBit; }
    void SetParityBit(TCommParityBits value);
    TCommStopBits StopBit() const { return FStopBit; }
    void SetStopBit(TCommStopBits value);
    TCommFlowCtrls FlowCtrl() const { return FFlowCtrl; }
    void SetFlowCtrl(TCommFlowCtrls value);
    int TimeOutTrans() const { return FTimeOutTrans; }
    void SetTimeOutTrans(int ms);
    int TimeOutReceive() const { return FTimeOutReceive; }
    void SetTimeOutReceive(int ms);
    char XonChar() const { return FXonChar; }
    void SetXonChar(char value);
    char XoffChar() const { return FXoffChar; }
    void SetXoffChar(char value);
    int BufLenTrans() const { return FBufLenTrans; }
    void SetBufLenTrans(int value);
    int BufLenReceive() const { return FBufLenReceive; }
    void SetBufLenReceive(int value);

    // The open device's file descriptor; -1 while closed.
    int Handle() const;
    // The transmit thread's character time in ms (1000 / (BitRate / 10) + 1); 0 when closed.
    int CharTime() const;
    // The flow-control word and the XON/XOFF threshold (BufLenReceive / 4) for FlowCtrl.
    static unsigned FlowCtrlFlags(TCommFlowCtrls value);
    int FlowThreshold() const { return FBufLenReceive / 4; }
    // True once the receive thread saw the line hang up (the device was unplugged, or the far end
    // of a pseudo-terminal closed). Cleared by Open.
    bool LineLost() const;

    // Events, run on the main thread.
    TCommReceiveEvent OnReceive;
    TCommBreakEvent OnBreak;
    TCommErrEvent OnError;

signals:
    // The transmit thread has processed every byte queued so far (TransCount is 0). Emitted on
    // the main thread, only while the port is open.
    void TransEmptied();

protected:
    void DoReceive();
    void DoBreak();
    void DoError(int bits);

private:
    friend struct commx_detail::Session;
    void StartThreads();
    void ApplyBitRate();
    void ApplyCharSize();
    void ApplyParityBit();
    void ApplyStopBit();
    void ApplyFlowCtrl();
    void ApplyTimeouts();
    void ApplyXonChar();
    void ApplyXoffChar();
    void ApplyBufLen();
    void ReportLineErrors();

    QString FPortName;
    int FBitRate = 9600;
    int FCharSize = 8;
    TCommParityBits FParityBit = cpbNone;
    TCommStopBits FStopBit = csb1;
    TCommFlowCtrls FFlowCtrl = cfcRtsCts;
    int FTimeOutTrans = 3000;
    int FTimeOutReceive = 3000;
    char FXonChar = 17;
    char FXoffChar = 19;
    int FBufLenTrans = 2048;
    int FBufLenReceive = 2048;

    // State shared with the threads of the current opening; none while closed.
    std::shared_ptr<commx_detail::Session> FSession;
    // The main-thread object the threads hand their events to, guarded for threads that outlive
    // this component.
    QObject* FHandOver = nullptr;
    std::shared_ptr<commx_detail::HandOverLink> FLink;
};

// Worker threads of all components that have not ended yet. Close does not wait for its threads;
// they end on their own shortly after, which tests use this to observe.
int CommThreadsRunning();

// The published form: the same component with its defaults, as the main window holds it.
class TCommX : public TCustomCommX {
    Q_OBJECT
public:
    explicit TCommX(QObject* parent = nullptr) : TCustomCommX(parent) {}
};

} // namespace qmv
