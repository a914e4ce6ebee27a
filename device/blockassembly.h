// The receiving side of the download's checked-block transfer (XMODEM with CRC-16), without any
// port, waiting or retry counting: it is given what has arrived since the last acknowledgement
// and says what to answer, keeping the accepted payloads in order. The exchange in download.cpp
// does the sending, the waits and the counting of tries around it.
//
// A block whose ACK the device did not see comes again with the same number and payload; it is
// acknowledged and not appended, so that every later record stays on its boundary. The same
// number with another payload leaves no way to tell which one is right: the transfer fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qmv {

// Start bytes and answers of the transfer.
constexpr std::uint8_t BlockSoh = 0x01; // a 128-byte block follows
constexpr std::uint8_t BlockStx = 0x02; // a 1024-byte block follows
constexpr std::uint8_t BlockEot = 0x04; // end of transmission
constexpr std::uint8_t BlockAck = 0x06;
constexpr std::uint8_t BlockNak = 0x15;

constexpr int BlockHeaderBytes = 3;  // start byte, block number, its complement
constexpr int BlockTrailerBytes = 2; // CRC high and low byte
constexpr int SmallBlockBytes = 128;
constexpr int LargeBlockBytes = 1024;

// What to do with the bytes received for one block.
enum class BlockVerdict {
    Incomplete, // not yet a whole block or EOT: wait for more
    Accepted,   // a new block; its payload has been appended: answer ACK
    Duplicate,  // the last accepted block again: answer ACK, nothing appended
    Bad,        // a whole block with a wrong CRC or complement: answer NAK and expect it again
    End,        // EOT: answer ACK; the transfer is complete
    Overflow,   // a new block that does not fit the assembly buffer: refuse the transfer
    Conflict,   // the last accepted block's number with another payload: refuse the transfer
};

class BlockAssembly {
public:
    // capacity: the most payload bytes the assembly holds.
    explicit BlockAssembly(std::size_t capacity);

    // Judges received[0..count) (byte 0 is the first byte since the last answer; bytes beyond a
    // whole block are ignored) and, for a new good block, appends its payload. After Bad, an EOT
    // is not taken as the end (the refused block is still due), so it stays Incomplete.
    BlockVerdict Take(const std::uint8_t* received, std::size_t count);

    // Forgets everything assembled: the state at the start of a transfer.
    void Reset();

    // The accepted payloads, in order.
    const std::vector<std::uint8_t>& Data() const { return data_; }
    std::size_t Size() const { return data_.size(); }
    std::size_t Capacity() const { return capacity_; }
    int BlocksAccepted() const { return blocksAccepted_; }
    int Duplicates() const { return duplicates_; }
    // Number of the last accepted block, -1 before the first.
    int LastBlockNumber() const { return lastNumber_; }

private:
    std::size_t capacity_;
    std::vector<std::uint8_t> data_;
    int blocksAccepted_ = 0;
    int duplicates_ = 0;
    int lastNumber_ = -1;
    std::size_t lastSize_ = 0; // payload bytes of the last accepted block, at the end of data_
    bool repeatDue_ = false;   // a block was refused with NAK and has not come good yet
};

} // namespace qmv
