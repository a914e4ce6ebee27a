// The download's block assembly fed a sequence of arrivals, good and bad. The input is a script:
// byte 0 sets the assembly's capacity, then each step is an operation byte and its operands:
//   0  raw bytes: a length byte, then that many bytes as they arrived (partial blocks, garbage)
//   1  a good 128-byte block   2  a good 1024-byte block   3  a 128-byte block with a bad CRC
//      (operands: block number, a flags byte, then payload bytes; a short script is repeated to
//      fill the payload; flag 1 spoils the complement, flag 2 adds trailing bytes)
//   4  EOT                     5  the last block built again (a resend after a lost ACK)
// After every step the assembly must hold exactly the payloads of the new good blocks, in order,
// once each, never more than its capacity; the verdicts must agree with the CRC of what arrived.
#include <cstdint>
#include <string>
#include <vector>

#include "device/blockassembly.h"
#include "device/recorddecode.h"
#include "fuzzcheck.h"

using namespace qmv;

namespace {

class Script {
public:
    Script(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool AtEnd() const { return pos_ >= size_; }
    std::uint8_t Next() { return pos_ < size_ ? data_[pos_++] : 0; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

std::vector<std::uint8_t> BuildBlock(Script& script, std::size_t n, bool goodCrc) {
    const std::uint8_t number = script.Next();
    const std::uint8_t flags = script.Next();
    std::vector<std::uint8_t> block;
    block.push_back(n == SmallBlockBytes ? BlockSoh : BlockStx);
    block.push_back(number);
    block.push_back(static_cast<std::uint8_t>((flags & 1) ? number : ~number));
    const std::size_t given = script.Next() % 64 + 1;
    std::vector<std::uint8_t> pattern;
    for (std::size_t i = 0; i < given; ++i)
        pattern.push_back(script.Next());
    for (std::size_t i = 0; i < n; ++i)
        block.push_back(pattern[i % pattern.size()]);
    std::uint16_t crc = Crc16Xmodem(block.data() + BlockHeaderBytes, n);
    if (!goodCrc)
        crc ^= static_cast<std::uint16_t>(1u << (flags % 16));
    block.push_back(static_cast<std::uint8_t>(crc >> 8));
    block.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    if (flags & 2)
        block.insert(block.end(), {BlockEot, BlockSoh, 0x00});
    return block;
}

// What the assembly must answer for received, and whether it must append the payload.
BlockVerdict Expected(const std::vector<std::uint8_t>& received, int lastNumber, bool repeatDue,
                      std::size_t size, std::size_t capacity) {
    if (received.empty())
        return BlockVerdict::Incomplete;
    if (received[0] == BlockEot)
        return repeatDue ? BlockVerdict::Incomplete : BlockVerdict::End;
    const std::size_t n = received[0] == BlockSoh   ? SmallBlockBytes
                          : received[0] == BlockStx ? LargeBlockBytes
                                                    : 0;
    if (n == 0 || received.size() < BlockHeaderBytes + n + BlockTrailerBytes)
        return BlockVerdict::Incomplete;
    const std::uint16_t crc = Crc16Xmodem(received.data() + BlockHeaderBytes, n);
    if (received[BlockHeaderBytes + n] != (crc >> 8) ||
        received[BlockHeaderBytes + n + 1] != (crc & 0xFF))
        return BlockVerdict::Bad;
    const bool complementRight = static_cast<std::uint8_t>(~received[1]) == received[2];
    if (complementRight && received[1] == lastNumber)
        return BlockVerdict::Duplicate;
    return size + n > capacity ? BlockVerdict::Overflow : BlockVerdict::Accepted;
}

std::string Describe(BlockVerdict got, BlockVerdict want, std::size_t step) {
    return "step " + std::to_string(step) + ": verdict " + std::to_string(static_cast<int>(got)) +
           ", expected " + std::to_string(static_cast<int>(want));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Script script(data, size);
    const std::size_t capacity = static_cast<std::size_t>(script.Next()) * 64;
    BlockAssembly assembly(capacity);

    std::vector<std::uint8_t> expected; // the payloads of the new good blocks, in order
    int lastNumber = -1;
    bool repeatDue = false;
    std::vector<std::uint8_t> lastBuilt;
    for (std::size_t step = 0; !script.AtEnd() && step < 400; ++step) {
        std::vector<std::uint8_t> received;
        switch (script.Next() % 6) {
        case 0: {
            const std::size_t length = script.Next();
            for (std::size_t i = 0; i < length; ++i)
                received.push_back(script.Next());
            break;
        }
        case 1:
            received = lastBuilt = BuildBlock(script, SmallBlockBytes, true);
            break;
        case 2:
            received = lastBuilt = BuildBlock(script, LargeBlockBytes, true);
            break;
        case 3:
            received = lastBuilt = BuildBlock(script, SmallBlockBytes, false);
            break;
        case 4:
            received.push_back(BlockEot);
            break;
        default:
            received = lastBuilt;
            break;
        }

        const BlockVerdict want =
            Expected(received, lastNumber, repeatDue, expected.size(), capacity);
        const BlockVerdict got = assembly.Take(received.data(), received.size());
        FUZZ_CHECK(got == want, Describe(got, want, step));
        if (got == BlockVerdict::Accepted) {
            const std::size_t n = received[0] == BlockSoh ? SmallBlockBytes : LargeBlockBytes;
            expected.insert(expected.end(), received.begin() + BlockHeaderBytes,
                            received.begin() + BlockHeaderBytes + n);
            const bool complementRight = static_cast<std::uint8_t>(~received[1]) == received[2];
            lastNumber = complementRight ? received[1] : -1;
        }
        if (got == BlockVerdict::Bad)
            repeatDue = true;
        else if (got == BlockVerdict::Accepted || got == BlockVerdict::Duplicate ||
                 got == BlockVerdict::Overflow)
            repeatDue = false;

        FUZZ_CHECK(assembly.Size() <= capacity, std::to_string(assembly.Size()));
        FUZZ_CHECK(assembly.Data() == expected, "step " + std::to_string(step));
        FUZZ_CHECK(assembly.LastBlockNumber() == lastNumber, std::to_string(lastNumber));
        // The exchange ends the transfer at End or Overflow; stop there as it does.
        if (got == BlockVerdict::End || got == BlockVerdict::Overflow)
            break;
    }
    return 0;
}
