// The receiving side of the block transfer on constructed frames: what each arrival is answered
// with, and what ends up assembled.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "device/blockassembly.h"
#include "device/recorddecode.h"

namespace qmv {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Payload(int size, int seed) {
    Bytes p(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i)
        p[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(seed * 31 + i * 7);
    return p;
}

// start byte, number, complement, payload, CRC high, CRC low
Bytes Frame(int number, const Bytes& payload) {
    Bytes f;
    f.push_back(payload.size() == 1024 ? BlockStx : BlockSoh);
    f.push_back(static_cast<std::uint8_t>(number));
    f.push_back(static_cast<std::uint8_t>(~number));
    f.insert(f.end(), payload.begin(), payload.end());
    const std::uint16_t crc = Crc16Xmodem(payload.data(), payload.size());
    f.push_back(static_cast<std::uint8_t>(crc >> 8));
    f.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    return f;
}

BlockVerdict Take(BlockAssembly& a, const Bytes& received) {
    return a.Take(received.data(), received.size());
}

Bytes Joined(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

const Bytes Eot{BlockEot};

TEST(BlockAssembly, BlocksOfBothSizesAreAppendedInOrderOnceWhole) {
    BlockAssembly a(AssemblyBufferSize);
    const Bytes p1 = Payload(128, 1), p2 = Payload(1024, 2), p3 = Payload(128, 3);
    const Bytes f1 = Frame(1, p1);
    EXPECT_EQ(a.Take(f1.data(), 0), BlockVerdict::Incomplete);
    EXPECT_EQ(a.Take(f1.data(), f1.size() - 1), BlockVerdict::Incomplete);
    EXPECT_EQ(Take(a, f1), BlockVerdict::Accepted);
    // Bytes beyond the whole block are not part of it.
    EXPECT_EQ(Take(a, Joined({Frame(2, p2), Bytes(7, 0x55)})), BlockVerdict::Accepted);
    EXPECT_EQ(Take(a, Frame(3, p3)), BlockVerdict::Accepted);
    EXPECT_EQ(Take(a, Eot), BlockVerdict::End);
    EXPECT_EQ(a.Data(), Joined({p1, p2, p3}));
    EXPECT_EQ(a.BlocksAccepted(), 3);
    EXPECT_EQ(a.LastBlockNumber(), 3);
    // A start byte of neither size never becomes a block.
    EXPECT_EQ(Take(a, Joined({Bytes{0x03}, Bytes(1100, 0)})), BlockVerdict::Incomplete);

    a.Reset();
    EXPECT_EQ(a.Size(), 0u);
    EXPECT_EQ(a.LastBlockNumber(), -1);
}

TEST(BlockAssembly, ABlockSentAgainAfterALostAckIsAcknowledgedNotAppended) {
    BlockAssembly a(AssemblyBufferSize);
    const Bytes p1 = Payload(1024, 1), p2 = Payload(1024, 2), p3 = Payload(1024, 3);
    EXPECT_EQ(Take(a, Frame(1, p1)), BlockVerdict::Accepted);
    EXPECT_EQ(Take(a, Frame(2, p2)), BlockVerdict::Accepted);
    EXPECT_EQ(Take(a, Frame(2, p2)), BlockVerdict::Duplicate);
    EXPECT_EQ(Take(a, Frame(2, p2)), BlockVerdict::Duplicate);
    // The same number with another payload, or another size, is no repeat: nothing is appended.
    EXPECT_EQ(Take(a, Frame(2, p3)), BlockVerdict::Conflict);
    EXPECT_EQ(Take(a, Frame(2, Payload(128, 2))), BlockVerdict::Conflict);
    EXPECT_EQ(Take(a, Frame(3, p3)), BlockVerdict::Accepted);
    EXPECT_EQ(a.Data(), Joined({p1, p2, p3}));
    EXPECT_EQ(a.Duplicates(), 2);

    // Numbers wrap after 255: block 0 is new, and then a repeat.
    BlockAssembly w(AssemblyBufferSize);
    EXPECT_EQ(Take(w, Frame(255, p1)), BlockVerdict::Accepted);
    EXPECT_EQ(Take(w, Frame(0, p2)), BlockVerdict::Accepted);
    EXPECT_EQ(Take(w, Frame(0, p2)), BlockVerdict::Duplicate);
    EXPECT_EQ(w.Data(), Joined({p1, p2}));
}

TEST(BlockAssembly, AWrongCheckIsRefusedAndTheTransferCannotEndBeforeTheBlockComesGood) {
    BlockAssembly a(AssemblyBufferSize);
    const Bytes p1 = Payload(128, 1);
    for (const std::size_t at : {1, 2, 3, 131, 132}) {
        Bytes bad = Frame(1, p1);
        bad[at] ^= 0x01; // the number, its complement, a payload byte, the CRC's high or low byte
        EXPECT_EQ(Take(a, bad), BlockVerdict::Bad) << at;
    }
    EXPECT_EQ(a.Size(), 0u);
    EXPECT_EQ(Take(a, Eot), BlockVerdict::Incomplete);
    EXPECT_EQ(Take(a, Frame(1, p1)), BlockVerdict::Accepted);
    EXPECT_EQ(Take(a, Eot), BlockVerdict::End);
    EXPECT_EQ(a.Data(), p1);
}

TEST(BlockAssembly, ABlockBeyondTheCapacityIsRefusedWithoutWritingPastIt) {
    BlockAssembly a(256);
    const Bytes p1 = Payload(128, 1), p2 = Payload(128, 2);
    EXPECT_EQ(Take(a, Frame(1, p1)), BlockVerdict::Accepted);
    EXPECT_EQ(Take(a, Frame(2, p2)), BlockVerdict::Accepted);
    EXPECT_EQ(Take(a, Frame(2, p2)), BlockVerdict::Duplicate); // adds nothing, so it still fits
    EXPECT_EQ(Take(a, Frame(3, Payload(128, 3))), BlockVerdict::Overflow);
    EXPECT_EQ(a.Data(), Joined({p1, p2}));
    EXPECT_EQ(a.Size(), a.Capacity());
}

} // namespace
} // namespace qmv
