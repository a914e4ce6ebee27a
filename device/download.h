// The record download: asks the instrument for its stored records and receives them as checked
// blocks (XMODEM with CRC-16), then cuts the assembled bytes into records. The exchange talks to
// the link; what each received block means is decided in blockassembly.h, the cutting and
// decoding is in recorddecode.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "data/datafile.h"
#include "data/record.h"
#include "device/blockassembly.h"
#include "device/devicelink.h"
#include "device/recorddecode.h"

namespace qmv {

// Result codes of a download, as the dialog maps them to messages.
enum DownloadResultCode : int {
    DownloadOk = 0,       // records decoded
    DownloadEmpty = 1,    // nothing decoded into a record: the device holds none
    DownloadNoDevice = 2, // the port could not be opened, or the device did not identify itself
    DownloadBlockLate =
        3,                // a block did not arrive whole, a record did not decode, or too much data
    DownloadNoAnswer = 4, // no answer to the request, a block stayed bad, or the next did not
                          // begin; or a block's number came again with another payload
};

// The request: the command line and the "C" that asks for CRC blocks, in one write.
extern const char* const DownloadRequest;

constexpr int DownloadTries = 5;     // requests, waits for a block, NAKs, waits after an ACK
constexpr int RequestWaitMs = 300;   // after each request
constexpr int BlockWaitMs = 200;     // while a block is not yet whole, and after a NAK
constexpr int NextBlockWaitMs = 100; // after an ACK, until the next block begins

// One download from the link's DevicePort. What the caller keeps of it: the device type, the
// records (the download table), and for logs and tests the figures of the transfer.
class RecordDownload {
public:
    // assemblyCapacity is the size of the assembly buffer; only tests make it smaller.
    explicit RecordDownload(DeviceLink& link, std::size_t assemblyCapacity = AssemblyBufferSize)
        : link_(link), assemblyCapacity_(assemblyCapacity) {}

    // Runs the whole exchange on the port in link.DevicePort and returns a DownloadResultCode.
    // The port is closed and the working buffers are freed whatever happens. On any result but
    // 0 the record table is emptied, so that nothing of an earlier download can be mistaken for
    // this one's records.
    int DownloadRecords(int sensorModelIndex);

    // Result of the identification of the latest download; kept when the port did not open.
    int DeviceType = DeviceUnknown;
    // The download table: at most MaxRecords records; DownloadCount is its size.
    std::vector<recReadDataSeg> DownloadTable;
    int DownloadCount() const { return static_cast<int>(DownloadTable.size()); }

    // Figures of the latest transfer.
    std::size_t AssembledCount = 0;
    int BlocksAccepted = 0;
    int Duplicates = 0; // blocks the device sent again after missing their ACK
    int NaksSent = 0;
    int Requests = 0;
    bool Overflow = false; // the device sent more than the assembly buffer holds
    // Called with the number of blocks accepted so far, after each block is acknowledged.
    std::function<void(int)> BlockReceived;
    // Called with the device type as soon as the instrument has identified itself.
    std::function<void(int)> DeviceIdentified;
    // A copy of the assembled bytes, kept only when asked for (tests, diagnostics).
    bool KeepAssembled = false;
    std::vector<std::uint8_t> Assembled;

private:
    int Exchange(int sensorModelIndex, BlockAssembly& assembly);
    // Sends bytes and waits until the transmit thread has written them.
    void Send(const char* data, int count);
    void Send(std::uint8_t byte);
    // Waits until the driver has put the bytes written so far on the line, so that closing the
    // port (which purges its output) does not drop them.
    void DrainOutput();
    // What the assembly makes of the bytes received since the last answer.
    BlockVerdict Judge(BlockAssembly& assembly) const;
    // The line is gone or the application is quitting: waiting longer cannot help.
    bool Hopeless() const;

    DeviceLink& link_;
    std::size_t assemblyCapacity_;
};

// The chart's upper axis limit for a new document whose largest level is largestLevel and whose
// standard line is at stdLevel: the next hundred above both.
int GraphAxisMax(int largestLevel, int stdLevel);

// The largest MinDb of records, starting from 0 (raises EConvertError on a non-number).
int LargestLevel(const std::vector<recReadDataSeg>& records);

// Model code of a document made from a download: the logger's, or the chosen sensor range.
int DownloadModel(int deviceType, int sensorModelIndex);

// A sensor model list index 0..2 from a stored value; anything else is taken as 0 (MAX).
int ValidSensorModelIndex(int index);

// What a new document made from downloaded records holds: the records with their levels written
// as a data file holds them, the model, the chart's defaults with the axis limit of GraphAxisMax,
// and an empty memo.
DocumentData DownloadDocumentData(std::vector<recReadDataSeg> records, int model);

} // namespace qmv
