// The simulated instrument: takes the bytes the program sent and says what to send back and
// when. It knows nothing of terminals or clocks of its own, so tests drive it directly.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "protocol.h"

namespace qmvsim {

enum class Cmd { Type, Get, Clr, Info, Set, Bbr };
constexpr int CmdCount = 6;
const char* CmdName(Cmd c);
bool CmdFromName(const std::string& name, Cmd& c);

// Faults that apply to the replies of one command.
struct CommandFaults {
    int silent = 0;         // no reply to the first N of these commands; -1: never a reply
    bool unplug = false;    // close the line when this command arrives
    int length = -1;        // reply cut, or padded with blanks, to this many bytes
    std::vector<int> split; // the reply goes in pieces of these sizes (the rest last)
    bool refuse = false;    // reply refuseText + CR LF instead of the normal reply
    std::string refuseText = "-";
    bool badChecksum = false;   // TYPE, INFO: bytes 5 and 6 hold a wrong checksum
    bool lowerChecksum = false; // TYPE, INFO: the checksum's letters in lower case
};

struct Options {
    DeviceKind kind = DeviceKind::Logger;
    std::string id;      // identifier in the TYPE reply; empty: "QMV27" or "PLX01" by kind
    std::string records; // stored raw records, without end marker
    bool endMarker = true;
    bool eotOnly = false; // answer the request with EOT alone
    BlockMode blockMode = BlockMode::Large;

    std::array<CommandFaults, CmdCount> faults;
    int replyDelayMs = 0;   // before the first byte of every reply and block
    int splitDelayMs = 300; // between the pieces of a split reply
    bool splitHold = false; // every piece after the first waits for a release instead

    // Transfer faults; blocks are counted from 1 in the order they are first sent.
    std::map<int, int> badCrc; // block -> how many sendings carry a wrong CRC (-1: all)
    std::set<int> repeatBlock; // sent a second time after its ACK
    int reuseNumber = 0;       // this block carries the number of the one before it
    int silentAfterAck = 0;    // nothing more after the ACK of this block
    int stallBlock = 0;        // send only stallBytes of this block, then nothing
    int stallBytes = -1;       // -1: half the frame
    int unplugBlock = 0;       // send unplugBytes of this block, then close the line
    int unplugBytes = -1;      // -1: the whole frame

    CivilTime clock; // the device clock at start
    int timing = 10; // the PLX01 timing value, 0 to 60
    LoggerSettings settings;
};

// One thing to do on the line: wait delayMs after the previous output (or, when held, until the
// simulator is told to go on), then write bytes, then close the line when hangUp is set.
struct Output {
    int delayMs = 0;
    std::string bytes;
    bool hangUp = false;
    bool held = false;
    std::string answers = {}; // the request ("TYPE #2") whose reply begins here, if any
};

class Instrument {
public:
    // nowMs: a monotonic clock in milliseconds, for the device clock.
    Instrument(Options options, std::function<int64_t()> nowMs);

    // Takes bytes as they arrive (any chunking) and returns what to send in reply.
    std::vector<Output> Receive(const std::string& bytes);

    // Notes on what happened (commands, faults applied, values set), oldest first.
    std::vector<std::string> TakeEvents();

    CivilTime Clock() const;
    int Timing() const { return timing_; }
    const LoggerSettings& Settings() const { return settings_; }
    std::size_t StoredBytes() const { return options_.records.size(); }
    int RecordCount() const;
    int CommandCount(Cmd c) const { return counts_[static_cast<int>(c)]; }

private:
    enum class State { Idle, AwaitC, Sending, AwaitEotAck, Dead };

    std::vector<Output> HandleLine(const std::string& line);
    std::vector<Output> Reply(Cmd cmd, std::string reply);
    std::string TypeAnswer() const;
    std::string InfoAnswer() const;
    std::string SetAnswer(const std::string& line);
    std::string BbrAnswer(const std::string& line);
    std::vector<Output> StartTransfer();
    std::vector<Output> SendFrame(bool resend);
    std::vector<Output> OnAck();
    std::vector<Output> OnNak();
    void SetClock(const CivilTime& t);
    void Event(const std::string& text) { events_.push_back(text); }

    Options options_;
    std::function<int64_t()> nowMs_;
    std::string pending_;
    State state_ = State::Idle;
    std::array<int, CmdCount> counts_{};
    std::vector<std::string> events_;

    int64_t clockSeconds_ = 0; // device clock at clockSetAtMs_
    int64_t clockSetAtMs_ = 0;
    int timing_ = 10;
    LoggerSettings settings_;

    std::vector<std::string> frames_;
    std::size_t frame_ = 0;           // index of the frame awaiting its ACK
    std::map<std::size_t, int> sent_; // sendings of each frame so far
    std::set<std::size_t> repeated_;
};

} // namespace qmvsim
