#include "device/blockassembly.h"

#include <algorithm>

#include "device/recorddecode.h"

namespace qmv {

BlockAssembly::BlockAssembly(std::size_t capacity) : capacity_(capacity) {
    data_.reserve(capacity_);
}

void BlockAssembly::Reset() {
    data_.clear();
    blocksAccepted_ = 0;
    duplicates_ = 0;
    lastNumber_ = -1;
    lastSize_ = 0;
    repeatDue_ = false;
}

BlockVerdict BlockAssembly::Take(const std::uint8_t* received, std::size_t count) {
    if (count == 0)
        return BlockVerdict::Incomplete;
    if (received[0] == BlockEot)
        return repeatDue_ ? BlockVerdict::Incomplete : BlockVerdict::End;

    std::size_t n = 0;
    if (received[0] == BlockSoh)
        n = SmallBlockBytes;
    else if (received[0] == BlockStx)
        n = LargeBlockBytes;
    if (n == 0 || count < BlockHeaderBytes + n + BlockTrailerBytes)
        return BlockVerdict::Incomplete;

    const std::uint8_t* payload = received + BlockHeaderBytes;
    const std::uint16_t crc = Crc16Xmodem(payload, n);
    // The CRC covers the payload alone: a garbled number shows only in its complement.
    if (received[BlockHeaderBytes + n] != (crc >> 8) ||
        received[BlockHeaderBytes + n + 1] != (crc & 0xFF) ||
        static_cast<std::uint8_t>(~received[1]) != received[2]) {
        repeatDue_ = true;
        return BlockVerdict::Bad;
    }
    repeatDue_ = false;

    const int number = received[1];
    if (number == lastNumber_) {
        // The device sends a block again when it missed its ACK: the data is already here.
        if (n == lastSize_ && std::equal(payload, payload + n, data_.end() - lastSize_)) {
            ++duplicates_;
            return BlockVerdict::Duplicate;
        }
        return BlockVerdict::Conflict;
    }
    if (data_.size() + n > capacity_)
        return BlockVerdict::Overflow;
    data_.insert(data_.end(), payload, payload + n);
    ++blocksAccepted_;
    lastNumber_ = number;
    lastSize_ = n;
    return BlockVerdict::Accepted;
}

} // namespace qmv
