#include "device/devicelink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace qmv {

namespace {
// The serial component's traffic log, which shows where the program stopped waiting for a reply.
Q_LOGGING_CATEGORY(lcTraffic, "qmvwin.serial", QtWarningMsg)

// The instrument's line speed.
constexpr int InstrumentBitRate = 256000;
// How much longer than the write time-out WaitSent allows the transmit thread.
constexpr int SentSlackMs = 1000;
} // namespace

const char* DeviceTypeName(int deviceType) {
    switch (deviceType) {
    case DeviceQMV27:
        return "QMV-27";
    case DevicePLX01:
        return "PLX01";
    default:
        return "none";
    }
}

std::string ChecksumText(const char* data, int count) {
    unsigned sum = 0;
    for (int i = 0; i < count; ++i)
        sum += static_cast<unsigned char>(data[i]);
    char text[4];
    std::snprintf(text, sizeof text, "%02X", sum & 0xFF);
    return text;
}

std::string ChecksumText(const std::string& bytes) {
    return ChecksumText(bytes.data(), static_cast<int>(bytes.size()));
}

std::string FramedCommand(const std::string& name, const std::string& payload) {
    return name + ":" + ChecksumText(payload) + ":" + payload + "\r\n";
}

int JudgeTypeReply(const char* data, int count) {
    if (count != TypeReplyBytes)
        return DeviceUnknown;
    // The digits are compared as sent: a lower-case digit is a different checksum.
    if (std::memcmp(data + 5, ChecksumText(data + 8, 5).data(), 2) != 0)
        return DeviceUnknown;
    if (std::memcmp(data + 8, "QMV27", 5) == 0)
        return DeviceQMV27;
    if (std::memcmp(data + 8, "PLX01", 5) == 0)
        return DevicePLX01;
    return DeviceUnknown;
}

DeviceLink::DeviceLink(QObject* parent) : QObject(parent) {
    Comm1.SetBitRate(InstrumentBitRate);
    Comm1.OnReceive = [this](TCustomCommX* sender, int size) { Comm1Receive(sender, size); };
}

DeviceLink::~DeviceLink() {
    Comm1.OnReceive = nullptr;
    Comm1.Close();
}

void DeviceLink::SetUi(DeviceCommandUi* ui) {
    ui_ = ui ? ui : &defaultUi_;
}

DeviceCommandUi& DeviceLink::Ui() {
    return *ui_;
}

void DeviceLink::Comm1Receive(TCustomCommX*, int receiveSize) {
    if (receiveSize <= 0)
        return;
    std::vector<char> block(static_cast<std::size_t>(receiveSize), '\0');
    // Only the bytes actually read are kept: a short or failed read must not add zeros.
    const int got = Comm1.ReceiveData(block.data(), receiveSize);
    if (got <= 0)
        return;
    const int room = static_cast<int>(RecvBuffer.size()) - RecvCount;
    const int keep = std::clamp(got, 0, std::max(room, 0));
    std::copy_n(block.data(), keep, RecvBuffer.data() + RecvCount);
    RecvCount += keep;
}

void DeviceLink::WaitMs(int ms) {
    if (OnWait)
        OnWait(ms);
    if (terminating_ || QCoreApplication::closingDown())
        return;
    if (ms <= 0) {
        QCoreApplication::processEvents();
        return;
    }
    RunEventLoop(ms, false);
    qCDebug(lcTraffic) << "waited" << ms << "ms";
}

void DeviceLink::WaitSent() {
    if (Comm1.TransCount() == 0 || terminating_ || QCoreApplication::closingDown() ||
        Comm1.LineLost())
        return;
    RunEventLoop(std::max(Comm1.TimeOutTrans(), 0) + SentSlackMs, true);
}

void DeviceLink::RunEventLoop(int ms, bool untilSent) {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    bool ended = false;
    const auto end = [&] {
        ended = true;
        loop.quit();
    };
    connect(&timer, &QTimer::timeout, &loop, end);
    // The signal comes through the event loop, so it cannot slip in between the caller's look
    // at TransCount and this connection; one left over from an earlier purge is told apart by
    // the count.
    if (untilSent)
        connect(&Comm1, &TCustomCommX::TransEmptied, &loop, [&] {
            if (Comm1.TransCount() == 0)
                end();
        });
    timer.start(ms);
    loop.exec();
    // The loop also ends when the application quits (every running loop is told to exit, and a
    // new one returns at once): then every later wait is skipped.
    if (!ended)
        terminating_ = true;
}

void DeviceLink::ClearLink() {
    if (Comm1.TransCount() != 0)
        Comm1.PurgeTrans();
    if (Comm1.ReceiveCount() != 0)
        Comm1.PurgeReceive();
    RecvCount = 0;
}

void DeviceLink::SendAndWait(const std::string& line, int replyWaitMs) {
    Comm1.SendString(line);
    WaitSent();
    if (Comm1.LineLost()) // no reply can come over a line that is gone
        return;
    WaitMs(replyWaitMs);
}

bool DeviceLink::Exchange(const std::string& line, int replyWaitMs, int tries) {
    for (int i = 0; i < tries; ++i) {
        ClearLink();
        SendAndWait(line, replyWaitMs);
        if (RecvCount > 0)
            return true;
        if (terminating_ || Comm1.LineLost())
            break;
    }
    return false;
}

bool DeviceLink::WaitForCount(int count, int waits, int waitMs) {
    for (int i = 0; RecvCount < count && i < waits; ++i) {
        if (terminating_ || Comm1.LineLost())
            break;
        WaitMs(waitMs);
        QCoreApplication::processEvents();
    }
    return RecvCount >= count;
}

int DeviceLink::IdentifyDevice() {
    int result = DeviceUnknown;
    for (int tries = 0; tries < CommandTries; ++tries) {
        ClearLink();
        SendAndWait("TYPE\r\n", ReplyWaitMs);
        if (RecvCount == 0) {
            if (terminating_ || Comm1.LineLost())
                break;
            continue;
        }
        // Once any byte has come, the reply is judged as it is: no further try.
        result = JudgeTypeReply(RecvBuffer.data(), RecvCount);
        break;
    }
    // Pending output and input go, whatever the reply held.
    if (Comm1.TransCount() != 0)
        Comm1.PurgeTrans();
    if (Comm1.ReceiveCount() != 0)
        Comm1.PurgeReceive();
    RecvCount = 0;
    return result;
}

QByteArray DeviceLink::Received() const {
    return QByteArray(RecvBuffer.data(), RecvCount);
}

FindDevicePortResult DeviceLink::FindPort() {
    DevicePort.clear();
    return FindDevicePort(DevicePort, [this] { return ui_->AskToConnect(); });
}

bool DeviceLink::OpenPort() {
    OpenRefusal = PortRefusal::None;
    OpenHolder.clear();
    try {
        Comm1.SetPortName(DevicePort);
        Comm1.Open();
        return true;
    } catch (const ECommError& e) {
        OpenRefusal = e.Refusal();
        OpenHolder = e.Holder();
        return false;
    }
}

void DeviceLink::AllocateRecvBuffer(int capacity) {
    RecvBuffer.assign(static_cast<std::size_t>(std::max(capacity, 0)), '\0');
    RecvCount = 0;
}

void DeviceLink::FreeRecvBuffer() {
    RecvBuffer.clear();
    RecvBuffer.shrink_to_fit();
    RecvCount = 0;
}

void DeviceLink::FinishLink() {
    if (Comm1.IsOpen()) {
        ClearLink();
        Comm1.Close();
    }
    FreeRecvBuffer();
}

FrameStatus DeviceLink::RunFrame(int capacity, const std::function<void()>& command) {
    switch (FindPort()) {
    case FindPortCancelled:
        return FrameStatus::PortCancelled;
    case FindPortNotSearched:
        return FrameStatus::PortNotSearched;
    case FindPortFound:
        break;
    }
    if (!OpenPort())
        return FrameStatus::OpenFailed;

    // The end of the frame runs however the command leaves, an exception included.
    struct Finish {
        DeviceLink& link;
        bool begun = false;
        ~Finish() {
            link.FinishLink();
            if (begun)
                link.ui_->EndCommand();
        }
    } finish{*this};
    ui_->BeginCommand();
    finish.begun = true;
    AllocateRecvBuffer(capacity);
    DeviceType = DeviceUnknown;
    DeviceType = IdentifyDevice();
    command();
    return FrameStatus::Ran;
}

} // namespace qmv
