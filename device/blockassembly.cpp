#include "device/blockassembly.h"

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
    if (received[BlockHeaderBytes + n] != (crc >> 8) ||
        received[BlockHeaderBytes + n + 1] != (crc & 0xFF)) {
        repeatDue_ = true;
        return BlockVerdict::Bad;
    }
    repeatDue_ = false;

    const int number = received[1];
    const bool complementRight = static_cast<std::uint8_t>(~received[1]) == received[2];
    // The device sends a block again when it missed its ACK: the data is already here.
    if (complementRight && number == lastNumber_) {
        ++duplicates_;
        return BlockVerdict::Duplicate;
    }
    if (data_.size() + n > capacity_)
        return BlockVerdict::Overflow;
    data_.insert(data_.end(), payload, payload + n);
    ++blocksAccepted_;
    // A number whose complement does not match may be garbled: nothing to recognise a repeat by.
    lastNumber_ = complementRight ? number : -1;
    return BlockVerdict::Accepted;
}

} // namespace qmv
