// The download's block assembly as the receiver of a modelled sender. The sender numbers its
// blocks on from a first number, resends a block until it sees its ACK, and ends with EOT; the
// line between them loses ACKs, spoils one byte of a block, splits a block in two arrivals or
// adds bytes after it. The input is the script of both:
//   byte 0: the assembly's capacity, in 128-byte steps (plus one step)
//   byte 1: the first block number
//   then, whenever the sender has nothing to resend, an action: 0-3 a new 128-byte block, 4-5 a
//   new 1024-byte block (each followed by a pattern length 1..64 and its bytes, repeated to fill
//   the payload), 6 the previous block's number again with another payload (a byte position and
//   mask, then a size flag; before any block, a new 128-byte block), 7 or the script's end: EOT;
//   and for every sending of a block, what the line does: 3 the ACK is lost, 4 one byte is
//   spoiled (position, mask), 5 it comes in two parts (where), 6 bytes follow it (count, bytes),
//   anything else nothing.
// What is assembled must be exactly the payloads the sender sent, once each and in order; the
// transfer may only end with the error when the sender reused a number for other data, and with
// an overflow only when the payloads outgrow the capacity.
#include <cstdint>
#include <string>
#include <vector>

#include "device/blockassembly.h"
#include "device/recorddecode.h"
#include "fuzzcheck.h"

using namespace qmv;

namespace {

using Bytes = std::vector<std::uint8_t>;

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

Bytes Payload(Script& script, std::size_t n) {
    Bytes pattern(script.Next() % 64 + 1);
    for (std::uint8_t& b : pattern)
        b = script.Next();
    Bytes payload(n);
    for (std::size_t i = 0; i < n; ++i)
        payload[i] = pattern[i % pattern.size()];
    return payload;
}

Bytes Frame(std::uint8_t number, const Bytes& payload) {
    Bytes f;
    f.reserve(BlockHeaderBytes + payload.size() + BlockTrailerBytes);
    f.push_back(payload.size() == std::size_t{LargeBlockBytes} ? BlockStx : BlockSoh);
    f.push_back(number);
    f.push_back(static_cast<std::uint8_t>(~number));
    f.insert(f.end(), payload.begin(), payload.end());
    const std::uint16_t crc = Crc16Xmodem(payload.data(), payload.size());
    f.push_back(static_cast<std::uint8_t>(crc >> 8));
    f.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    return f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Script script(data, size);
    const std::size_t capacity = (static_cast<std::size_t>(script.Next()) + 1) * SmallBlockBytes;
    BlockAssembly assembly(capacity);

    std::uint8_t number = script.Next();
    Bytes sent;           // the payloads of the blocks that reached the receiver whole, in order
    Bytes block;          // the block being sent; empty for EOT
    Bytes previous;       // the payload of the last block the sender saw acknowledged
    bool due = false;     // block must be sent (again)
    bool arrived = false; // a whole copy of block has reached the receiver
    bool broken = false;  // block reuses the previous number for other data
    for (int sending = 0; sending < 600; ++sending) {
        if (!due) {
            const int action = script.AtEnd() ? 7 : script.Next() % 8;
            broken = action == 6 && !previous.empty();
            if (broken) {
                Bytes other = previous;
                const std::size_t at = script.Next() % other.size();
                other[at] ^= static_cast<std::uint8_t>(script.Next() | 1);
                if (script.Next() & 1) // the other block size
                    other.resize(other.size() == std::size_t{SmallBlockBytes} ? LargeBlockBytes
                                                                              : SmallBlockBytes);
                block = Frame(static_cast<std::uint8_t>(number - 1), other);
            } else if (action == 7) {
                block.clear();
            } else {
                const std::size_t n = action < 4 || action == 6 ? SmallBlockBytes : LargeBlockBytes;
                block = Frame(number++, Payload(script, n));
            }
            due = true;
            arrived = false;
        }
        if (block.empty()) {
            const std::uint8_t eot = BlockEot;
            FUZZ_CHECK(assembly.Take(&eot, 1) == BlockVerdict::End, "EOT not taken as the end");
            FUZZ_CHECK(assembly.Data() == sent, "at the end, not what was sent");
            return 0;
        }

        Bytes received = block;
        bool spoiled = false, ackLost = false;
        switch (script.Next() % 8) {
        case 3:
            ackLost = true;
            break;
        case 4: { // any byte but the start byte, which no check covers
            const std::size_t at = 1 + script.Next() % (received.size() - 1);
            received[at] ^= static_cast<std::uint8_t>(script.Next() | 1);
            spoiled = true;
            break;
        }
        case 5: {
            const std::size_t part = script.Next() * received.size() / 256;
            FUZZ_CHECK(assembly.Take(received.data(), part) == BlockVerdict::Incomplete,
                       "judged after " + std::to_string(part) + " bytes of a block");
            break;
        }
        case 6:
            for (int n = script.Next() % 8 + 1; n > 0; --n)
                received.push_back(script.Next());
            break;
        default:
            break;
        }

        const BlockVerdict verdict = assembly.Take(received.data(), received.size());
        // What the sender sent: each whole new block once, as long as there is room for it.
        const std::size_t payloadBytes = block.size() - BlockHeaderBytes - BlockTrailerBytes;
        const bool fits = arrived || sent.size() + payloadBytes <= capacity;
        if (!spoiled && !broken && !arrived && fits) {
            sent.insert(sent.end(), block.begin() + BlockHeaderBytes,
                        block.end() - BlockTrailerBytes);
            arrived = true;
        }
        const std::string at = "sending " + std::to_string(sending) + ": verdict " +
                               std::to_string(static_cast<int>(verdict));
        FUZZ_CHECK(assembly.Data() == sent, at + ", not what was sent");
        if (spoiled) {
            FUZZ_CHECK(verdict == BlockVerdict::Bad, at + ", for a spoiled block");
            continue; // the NAK asks for it again
        }
        if (broken || !fits) {
            FUZZ_CHECK(verdict == (broken ? BlockVerdict::Conflict : BlockVerdict::Overflow),
                       at + ", where the transfer must end");
            return 0;
        }
        FUZZ_CHECK(verdict == BlockVerdict::Accepted || verdict == BlockVerdict::Duplicate,
                   at + ", for a whole block");
        if (!ackLost) {
            due = false;
            previous.assign(block.begin() + BlockHeaderBytes, block.end() - BlockTrailerBytes);
        }
    }
    return 0;
}
