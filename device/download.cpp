#include "device/download.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <algorithm>
#include <cmath>
#include <cstring>

#ifdef __unix__
#include <sys/ioctl.h>
#endif

#include "device/recorddecode.h"

namespace qmv {

namespace {
Q_LOGGING_CATEGORY(lcDownload, "qmvwin.download", QtWarningMsg)

constexpr int BlockHeaderBytes = 3; // start byte, block number, its complement
constexpr int SmallBlockBytes = 128;
constexpr int LargeBlockBytes = 1024;
// Payload bytes 1 to 7 of a first 128-byte block all zero: the device has nothing stored.
constexpr int EmptyMarkFirst = 4;
constexpr int EmptyMarkLast = 10;
} // namespace

const char* const DownloadRequest = "GET\r\nC";

int RecordDownload::DownloadRecords(int sensorModelIndex) {
    AssembledCount = 0;
    BlocksAccepted = 0;
    NaksSent = 0;
    Requests = 0;
    EmptyMark = false;
    Overflow = false;
    Assembled.clear();

    if (!link_.OpenPort()) {
        DownloadTable.clear();
        return DownloadNoDevice;
    }
    // However the exchange ends (an exception included), the link is cleared, the port closed
    // and the buffers freed.
    struct Finish {
        RecordDownload& d;
        ~Finish() {
            d.link_.FinishLink();
            d.blockBuffer_.clear();
            d.blockBuffer_.shrink_to_fit();
            d.assemblyBuffer_.clear();
            d.assemblyBuffer_.shrink_to_fit();
        }
    } finish{*this};

    int result = DownloadNoAnswer;
    try {
        result = Exchange(ValidSensorModelIndex(sensorModelIndex));
    } catch (...) {
        DownloadTable.clear();
        throw;
    }
    if (KeepAssembled)
        Assembled.assign(assemblyBuffer_.begin(),
                         assemblyBuffer_.begin() + static_cast<std::ptrdiff_t>(AssembledCount));
    if (result != DownloadOk)
        DownloadTable.clear();
    qCInfo(lcDownload) << "download result" << result << "device" << DeviceTypeName(DeviceType)
                       << "blocks" << BlocksAccepted << "bytes" << AssembledCount << "naks"
                       << NaksSent << "records" << DownloadCount();
    return result;
}

bool RecordDownload::Hopeless() const {
    return link_.Terminating() || link_.Comm1.LineLost();
}

void RecordDownload::Send(const char* data, int count) {
    link_.Comm1.SendString(std::string(data, static_cast<std::size_t>(count)));
    while (link_.Comm1.TransCount() != 0 && !Hopeless())
        link_.WaitMs(10);
}

void RecordDownload::DrainOutput() {
#ifdef __unix__
    constexpr int DrainPollMs = 2;
    constexpr int DrainLimitMs = 100;
    for (int waited = 0; waited < DrainLimitMs && !Hopeless(); waited += DrainPollMs) {
        int pending = 0;
        const int fd = link_.Comm1.Handle();
        if (fd < 0 || ::ioctl(fd, TIOCOUTQ, &pending) != 0 || pending <= 0)
            break;
        link_.WaitMs(DrainPollMs);
    }
#endif
    // A pseudo-terminal (the simulator) reports no pending output at all: give the far end a
    // moment to read the byte before the close purges it.
    constexpr int SettleMs = 20;
    link_.WaitMs(SettleMs);
}

bool RecordDownload::BlockWhole(int& n) const {
    const std::vector<char>& buf = link_.RecvBuffer;
    if (buf.empty())
        return false;
    if (buf[0] == BlockSoh && link_.RecvCount >= BlockHeaderBytes + SmallBlockBytes + 2) {
        n = SmallBlockBytes;
        return true;
    }
    if (buf[0] == BlockStx && link_.RecvCount >= BlockHeaderBytes + LargeBlockBytes + 2) {
        n = LargeBlockBytes;
        return true;
    }
    return false;
}

int RecordDownload::Exchange(int sensorModelIndex) {
    link_.AllocateRecvBuffer(RecvCapacityDownload);
    blockBuffer_.assign(BlockBufferSize, 0);
    assemblyBuffer_.assign(assemblyCapacity_, 0);
    const std::vector<char>& recv = link_.RecvBuffer;
    auto byte = [&recv](int i) {
        return static_cast<std::uint8_t>(recv[static_cast<std::size_t>(i)]);
    };

    DeviceType = DeviceUnknown;
    DeviceType = link_.IdentifyDevice();
    if (DeviceType == DeviceUnknown)
        return DownloadNoDevice;

    // The request, up to five times, until the first byte of an answer is there.
    for (;;) {
        if (Requests >= DownloadTries)
            return DownloadNoAnswer;
        link_.ClearLink();
        Send(DownloadRequest, static_cast<int>(std::strlen(DownloadRequest)));
        link_.WaitMs(RequestWaitMs);
        ++Requests;
        if (link_.RecvCount >= 1)
            break;
        if (Hopeless())
            return DownloadNoAnswer;
    }

    AssembledCount = 0;
    EmptyMark = false;
    while (byte(0) != static_cast<std::uint8_t>(BlockEot)) {
        // One counter per block, shared by the waits for the whole block and by the NAKs.
        int counter = 0;
        int n = 0;
        for (;;) {
            while (!BlockWhole(n)) {
                if (counter >= DownloadTries || Hopeless())
                    return DownloadBlockLate;
                link_.WaitMs(BlockWaitMs);
                ++counter;
                QCoreApplication::processEvents();
            }
            std::memcpy(blockBuffer_.data(), recv.data() + BlockHeaderBytes,
                        static_cast<std::size_t>(n));
            const std::uint16_t crc = Crc16Xmodem(blockBuffer_.data(), static_cast<std::size_t>(n));
            if (byte(BlockHeaderBytes + n) == (crc >> 8) &&
                byte(BlockHeaderBytes + n + 1) == (crc & 0xFF))
                break;
            if (counter >= DownloadTries)
                return DownloadNoAnswer;
            link_.ClearLink();
            ++counter;
            Send(&BlockNak, 1);
            ++NaksSent;
            link_.WaitMs(BlockWaitMs);
        }

        // Block numbers are not checked: a good block is taken as it comes.
        if (byte(0) == 0x01 && byte(1) == 0x01) {
            bool zero = true;
            for (int i = EmptyMarkFirst; i <= EmptyMarkLast; ++i)
                zero = zero && byte(i) == 0;
            if (zero)
                EmptyMark = true;
        }
        // A device that sends more than the assembly buffer holds is refused, not followed.
        if (AssembledCount + static_cast<std::size_t>(n) > assemblyBuffer_.size()) {
            Overflow = true;
            return DownloadBlockLate;
        }
        std::memcpy(assemblyBuffer_.data() + AssembledCount, blockBuffer_.data(),
                    static_cast<std::size_t>(n));
        AssembledCount += static_cast<std::size_t>(n);
        ++BlocksAccepted;

        link_.ClearLink();
        Send(&BlockAck, 1);
        // Wait for the first byte of the next block or of the EOT.
        for (int waits = 0;;) {
            if (waits >= DownloadTries)
                return DownloadNoAnswer;
            if (Hopeless()) {
                if (link_.RecvCount >= 1)
                    break;
                return DownloadNoAnswer;
            }
            link_.WaitMs(NextBlockWaitMs);
            ++waits;
            QCoreApplication::processEvents();
            if (link_.RecvCount >= 1)
                break;
        }
    }

    Send(&BlockAck, 1);
    // Closing the port drops output the driver still holds; this ACK is the last word of the
    // transfer, and a device that misses it sends the EOT again.
    DrainOutput();
    if (EmptyMark)
        return DownloadEmpty;
    const DecodeStatus status = DecodeRecords(assemblyBuffer_.data(), AssembledCount, DeviceType,
                                              sensorModelIndex, DownloadTable);
    return status == DecodeStatus::Ok ? DownloadOk : DownloadBlockLate;
}

int GraphAxisMax(int largestLevel) {
    // nearbyint rounds half to even in the default rounding mode.
    const int axis = static_cast<int>(std::nearbyint((largestLevel + 100) / 100.0)) * 100;
    return axis > 900 ? 1100 : axis;
}

int LargestLevel(const std::vector<recReadDataSeg>& records) {
    int largest = 0;
    for (const recReadDataSeg& r : records)
        largest = std::max(largest, StrToInt(r.MinDb));
    return largest;
}

int DownloadModel(int deviceType, int sensorModelIndex) {
    return deviceType == DeviceQMV27 ? ModelQMV27
                                     : ModelGZNMax + ValidSensorModelIndex(sensorModelIndex);
}

int ValidSensorModelIndex(int index) {
    return index >= 0 && index <= 2 ? index : 0;
}

DocumentData DownloadDocumentData(std::vector<recReadDataSeg> records, int model) {
    DocumentData d;
    d.Model = model;
    if (records.size() > static_cast<std::size_t>(MaxRecords))
        records.resize(MaxRecords);
    d.AxisMax = GraphAxisMax(LargestLevel(records));
    d.Records = std::move(records);
    return d;
}

} // namespace qmv
