// The small device commands: clearing the instrument's memory, setting its clock, and reading and
// writing the timing value of the PLX01. Each runs on a DeviceLink without any window and returns
// what happened as a value; the main window and qmvtool put it into words (NoticeOf).
//
// Every exchange has the same two steps: the loop of tries (DeviceLink::Exchange: clear the link,
// send, wait, up to three times until a byte came), then the judgement of the one reply that
// came, a plain function over bytes.
#pragma once

#include <QDateTime>

#include <functional>
#include <string>

#include "device/devicelink.h"

namespace qmv {

// --- Outcomes --------------------------------------------------------------------------------

enum class ClearOutcome {
    Cleared,       // the instrument answered "+"
    Refused,       // any other first byte
    NoReply,       // three tries without a byte
    NotIdentified, // the identification gave no known device
};

enum class ClockOutcome {
    Set,             // "SET:" answered with "+"
    Refused,         // "SET:" answered with anything else
    NoReply,         // three tries of "INFO" or of "SET:" without a byte
    InfoRefused,     // the logger answered "INFO" with "-"
    InfoShort,       // the information reply stayed short of 97 bytes
    InfoBadChecksum, // bytes 5 and 6 do not match bytes 8 to 94
    NotIdentified,
};

enum class TimingReadOutcome {
    Read,        // the value is in the result
    NotPlx,      // the attached device is not the PLX01 (or not identified)
    NoReply,     // three tries of "INFO" without a byte
    Refused,     // "INFO" answered with "-"
    Short,       // the information reply stayed at 22 bytes or less
    BadChecksum, // bytes 5 and 6 do not match bytes 8 to 20
};

enum class TimingWriteOutcome {
    Written,    // "BBR:" answered with "+"
    Refused,    // "BBR:" answered with anything else
    NoReply,    // three tries without a byte
    NotPlx,     // the attached device is not the PLX01
    OutOfRange, // the value is not 0 to 60: nothing was opened or sent
};

// A command's result: how the frame went, and the command's own outcome when it ran. An outcome
// decided before any port is searched for (OutOfRange) comes with frame Ran.
template <typename Outcome> struct DeviceResult {
    FrameStatus frame = FrameStatus::Ran;
    Outcome outcome{};
    bool Ran() const { return frame == FrameStatus::Ran; }
};

struct TimingReadResult : DeviceResult<TimingReadOutcome> {
    std::string value; // BBRText: the two characters read; empty unless Read
};

// --- What the user is told --------------------------------------------------------------------

enum class NoticeKind { None, Information, Warning, Error };

// A message of section "Msg": key, or key + "\n" + key2 for the two-part ones.
struct Notice {
    NoticeKind kind = NoticeKind::None;
    const char* key = nullptr;
    const char* key2 = nullptr;
    bool success = false;
};

// What is added to MsgComErr0 when the port was refused: what to do about it, and the program
// holding the line when known, as lines of the interface texts (code-page bytes, "\n" between
// lines); empty for PortRefusal::None.
std::string RefusalLines(PortRefusal refusal, const std::string& holder);

// The frame's own message: none for a cancelled port search, MsgComErr0 when the port could not
// be opened; Ran gives no notice of its own.
Notice NoticeOf(FrameStatus status);
Notice NoticeOf(ClearOutcome outcome);
Notice NoticeOf(ClockOutcome outcome);
Notice NoticeOf(TimingReadOutcome outcome);
Notice NoticeOf(TimingWriteOutcome outcome);
// The frame's notice when it did not run, else the outcome's.
template <typename Outcome> Notice NoticeOf(const DeviceResult<Outcome>& result) {
    return result.Ran() ? NoticeOf(result.outcome) : NoticeOf(result.frame);
}

// --- The pieces, over bytes -------------------------------------------------------------------

constexpr int LoggerInfoBytes = 97;
constexpr int LoggerClockPayloadBytes = 57;
constexpr int PlxInfoMinBytes = 23;
constexpr int TimingMin = 0;
constexpr int TimingMax = 60;
// The extra waits for the rest of an information reply.
constexpr int InfoExtraWaits = 3;
constexpr int InfoExtraWaitMs = 200;

// "+" as the first byte accepts CLR, SET: and BBR:.
bool Accepted(const char* reply, int count);
// "-" as the first byte refuses INFO.
bool InfoRefusal(const char* reply, int count);
// True when bytes 5 and 6 are the upper-case checksum of bytes first to last (inclusive).
bool ReplyChecksumOk(const char* reply, int count, int first, int last);

// Local date and time as "yymmddhhnn".
std::string ClockStamp(const QDateTime& time);
// The 57-character payload of the logger: reply bytes 8 to 17, the stamp, then the setting groups
// the reply holds at 45-46, 63-64, 66-69, 71, 73-76, 78, 80-83, 85, 87-88, 90-91 and 93-94, all
// joined by ",". reply holds at least 97 bytes.
std::string LoggerClockPayload(const char* reply, const std::string& stamp);

// "BBR:" command of a timing value (0 to 60, written with two digits).
std::string TimingCommand(int value);
bool TimingInRange(int value);

// --- The exchanges, inside a running frame ---------------------------------------------------

using LocalClock = std::function<QDateTime()>;

// The clock of the computer, as the commands read it.
QDateTime CurrentLocalTime();

ClearOutcome ClearMemory(DeviceLink& link);
// now is asked once, just before the payload is built.
ClockOutcome SetClock(DeviceLink& link, const LocalClock& now);
TimingReadOutcome ReadTiming(DeviceLink& link, std::string& value);
TimingWriteOutcome WriteTiming(DeviceLink& link, int value);

// --- Whole commands: the frame around the exchange --------------------------------------------

DeviceResult<ClearOutcome> RunClearMemory(DeviceLink& link);
DeviceResult<ClockOutcome> RunSetClock(DeviceLink& link, const LocalClock& now = CurrentLocalTime);
TimingReadResult RunReadTiming(DeviceLink& link);
// A value outside 0 to 60 is refused before the port is searched for.
DeviceResult<TimingWriteOutcome> RunWriteTiming(DeviceLink& link, int value);

} // namespace qmv
