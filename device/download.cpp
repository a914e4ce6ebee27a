#include "device/download.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <algorithm>
#include <cstring>

#include "data/editorops.h"
#include "device/recorddecode.h"

namespace qmv {

namespace {
Q_LOGGING_CATEGORY(lcDownload, "qmvwin.download", QtWarningMsg)

// How long the driver may take to put the last ACK on the line before the port closes: a byte
// takes 40 microseconds at the instrument's speed, a USB bridge adds a millisecond or so.
constexpr int DrainLimitMs = 100;
} // namespace

const char* const DownloadRequest = "GET\r\nC";

int RecordDownload::DownloadRecords(int sensorModelIndex) {
    AssembledCount = 0;
    BlocksAccepted = 0;
    Duplicates = 0;
    NaksSent = 0;
    Requests = 0;
    Overflow = false;
    Assembled.clear();

    if (!link_.OpenPort()) {
        DownloadTable.clear();
        return DownloadNoDevice;
    }
    // However the exchange ends (an exception included), the link is cleared, the port closed
    // and the receive buffer freed; the assembly goes with this call.
    struct Finish {
        DeviceLink& link;
        ~Finish() { link.FinishLink(); }
    } finish{link_};

    BlockAssembly assembly(assemblyCapacity_);
    int result = DownloadNoAnswer;
    try {
        result = Exchange(ValidSensorModelIndex(sensorModelIndex), assembly);
    } catch (...) {
        DownloadTable.clear();
        throw;
    }
    AssembledCount = assembly.Size();
    BlocksAccepted = assembly.BlocksAccepted();
    Duplicates = assembly.Duplicates();
    if (KeepAssembled)
        Assembled = assembly.Data();
    if (result != DownloadOk)
        DownloadTable.clear();
    qCInfo(lcDownload) << "download result" << result << "device" << DeviceTypeName(DeviceType)
                       << "blocks" << BlocksAccepted << "repeated" << Duplicates << "bytes"
                       << AssembledCount << "naks" << NaksSent << "records" << DownloadCount();
    return result;
}

bool RecordDownload::Hopeless() const {
    return link_.Terminating() || link_.Comm1.LineLost();
}

void RecordDownload::Send(const char* data, int count) {
    link_.Comm1.SendString(std::string(data, static_cast<std::size_t>(count)));
    link_.WaitSent();
}

void RecordDownload::Send(std::uint8_t byte) {
    const char c = static_cast<char>(byte);
    Send(&c, 1);
}

void RecordDownload::DrainOutput() {
    link_.WaitSent();
    // A real line holds the byte in its driver for a moment; a pseudo-terminal never reports
    // any, and the port's purge at closing leaves what it already handed on.
    for (int waited = 0; waited < DrainLimitMs && !Hopeless() && link_.Comm1.OutputQueue() > 0;
         ++waited)
        link_.WaitMs(1);
}

BlockVerdict RecordDownload::Judge(BlockAssembly& assembly) const {
    return assembly.Take(reinterpret_cast<const std::uint8_t*>(link_.RecvBuffer.data()),
                         static_cast<std::size_t>(std::max(link_.RecvCount, 0)));
}

int RecordDownload::Exchange(int sensorModelIndex, BlockAssembly& assembly) {
    link_.AllocateRecvBuffer(RecvCapacityDownload);

    DeviceType = DeviceUnknown;
    DeviceType = link_.IdentifyDevice();
    if (DeviceType == DeviceUnknown)
        return DownloadNoDevice;
    if (DeviceIdentified)
        DeviceIdentified(DeviceType);

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

    for (;;) {
        // One counter per block, shared by the waits for the whole block and by the NAKs.
        int counter = 0;
        BlockVerdict verdict;
        while ((verdict = Judge(assembly)) == BlockVerdict::Incomplete ||
               verdict == BlockVerdict::Bad) {
            if (verdict == BlockVerdict::Incomplete) {
                if (counter >= DownloadTries || Hopeless())
                    return DownloadBlockLate;
                link_.WaitMs(BlockWaitMs);
                ++counter;
                QCoreApplication::processEvents();
                continue;
            }
            if (counter >= DownloadTries)
                return DownloadNoAnswer;
            link_.ClearLink();
            ++counter;
            Send(BlockNak);
            ++NaksSent;
            link_.WaitMs(BlockWaitMs);
        }
        if (verdict == BlockVerdict::End)
            break;
        // A device that sends more than the assembly buffer holds is refused, not followed.
        if (verdict == BlockVerdict::Overflow) {
            Overflow = true;
            return DownloadBlockLate;
        }
        // A block's number again with other data: whichever copy is taken may be the wrong one.
        if (verdict == BlockVerdict::Conflict)
            return DownloadNoAnswer;

        // A new block, or one the device sent again because it missed the ACK: both are answered.
        link_.ClearLink();
        Send(BlockAck);
        if (BlockReceived)
            BlockReceived(assembly.BlocksAccepted());
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

    Send(BlockAck);
    // Closing the port drops output the driver still holds; this ACK is the last word of the
    // transfer, and a device that misses it sends the EOT again.
    DrainOutput();
    // Whether the device holds anything is told by the records themselves: an empty device
    // sends the end marker first, or nothing at all.
    const DecodeStatus status = DecodeRecords(assembly.Data().data(), assembly.Size(), DeviceType,
                                              sensorModelIndex, DownloadTable);
    if (status != DecodeStatus::Ok)
        return DownloadBlockLate;
    return DownloadTable.empty() ? DownloadEmpty : DownloadOk;
}

int GraphAxisMax(int largestLevel, int stdLevel) {
    // Strictly above both, so that neither the highest record nor the standard line lies on the
    // frame of the plot.
    const int top = std::max({largestLevel, stdLevel, 0});
    return (top / 100 + 1) * 100;
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
    d.AxisMax = GraphAxisMax(LargestLevel(records), d.StdLevel);
    // The levels as the data file's column holds them ("42" of a sensor becomes "042"), so that
    // the document reads the same before it is saved as after it is opened again.
    for (recReadDataSeg& r : records)
        r.MinDb = LevelText(StrToInt(r.MinDb));
    d.Records = std::move(records);
    return d;
}

} // namespace qmv
