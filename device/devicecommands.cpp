#include "device/devicecommands.h"

#include <cstdio>
#include <cstring>

#include "data/profile.h"
#include "data/record.h"

namespace qmv {

namespace {

// Where the logger's information reply keeps the settings it takes back with the clock, as
// inclusive byte ranges in the order of the payload (the stamp goes after the first).
struct ByteRange {
    int first, last;
};
constexpr ByteRange LoggerSerial = {8, 17};
constexpr ByteRange LoggerSettingGroups[] = {{45, 46}, {63, 64}, {66, 69}, {71, 71},
                                             {73, 76}, {78, 78}, {80, 83}, {85, 85},
                                             {87, 88}, {90, 91}, {93, 94}};

// Checksummed ranges of the information replies.
constexpr int InfoChecksumFirst = 8;
constexpr int LoggerInfoChecksumLast = 94;
constexpr int PlxInfoChecksumLast = 20;
// The PLX01 keeps its timing value as two characters at bytes 19 and 20.
constexpr int PlxTimingAt = 19;

const char* Buffer(const DeviceLink& link) {
    return link.RecvBuffer.data();
}

std::string Copy(const char* reply, ByteRange r) {
    return std::string(reply + r.first, static_cast<std::size_t>(r.last - r.first + 1));
}

// Reads the logger's information reply into the link's buffer, with the extra waits for a reply
// that came in pieces. Set means it is complete and its checksum holds.
ClockOutcome ReadLoggerInfo(DeviceLink& link) {
    if (!link.Exchange("INFO\r\n", ReplyWaitMs))
        return ClockOutcome::NoReply;
    if (InfoRefusal(Buffer(link), link.RecvCount))
        return ClockOutcome::InfoRefused;
    if (!link.WaitForCount(LoggerInfoBytes, InfoExtraWaits, InfoExtraWaitMs))
        return ClockOutcome::InfoShort;
    if (!ReplyChecksumOk(Buffer(link), link.RecvCount, InfoChecksumFirst, LoggerInfoChecksumLast))
        return ClockOutcome::InfoBadChecksum;
    return ClockOutcome::Set;
}

} // namespace

// --- What the user is told --------------------------------------------------------------------

std::string RefusalLines(PortRefusal refusal, const std::string& holder) {
    switch (refusal) {
    case PortRefusal::None:
        return {};
    case PortRefusal::Permission:
        return InterfaceTexts().Text("Msg", "MsgPortDenied");
    case PortRefusal::Busy:
        break;
    }
    std::string lines = InterfaceTexts().Text("Msg", "MsgPortBusy");
    if (!holder.empty())
        lines += "\n" + InterfaceTexts().Text("Msg", "MsgPortHolder") + " " + holder;
    return lines;
}

Notice NoticeOf(FrameStatus status) {
    switch (status) {
    case FrameStatus::OpenFailed:
        return {NoticeKind::Warning, "MsgComErr0"};
    case FrameStatus::Ran:
    case FrameStatus::PortCancelled:
    case FrameStatus::PortNotSearched:
        break;
    }
    return {};
}

namespace {
constexpr Notice NoReplyNotice = {NoticeKind::Error, "MsgComErr1", "MsgComErr2"};
constexpr Notice NotIdentifiedNotice = {NoticeKind::Warning, "MsgComErr0"};
constexpr Notice SetErrNotice = {NoticeKind::Error, "MsgSetErr"};
} // namespace

Notice NoticeOf(ClearOutcome outcome) {
    switch (outcome) {
    case ClearOutcome::Cleared:
        return {NoticeKind::Information, "MsgClearFin", nullptr, true};
    case ClearOutcome::Refused:
        return {NoticeKind::Error, "MsgClearErr"};
    case ClearOutcome::NoReply:
        return NoReplyNotice;
    case ClearOutcome::NotIdentified:
        break;
    }
    return NotIdentifiedNotice;
}

Notice NoticeOf(ClockOutcome outcome) {
    switch (outcome) {
    case ClockOutcome::Set:
        return {NoticeKind::Information, "MsgDateFin", nullptr, true};
    case ClockOutcome::Refused:
    case ClockOutcome::InfoRefused:
    case ClockOutcome::InfoShort:
    case ClockOutcome::InfoBadChecksum:
        return SetErrNotice;
    case ClockOutcome::NoReply:
        return NoReplyNotice;
    case ClockOutcome::NotIdentified:
        break;
    }
    return NotIdentifiedNotice;
}

Notice NoticeOf(TimingReadOutcome outcome) {
    switch (outcome) {
    case TimingReadOutcome::Read:
        return {NoticeKind::None, nullptr, nullptr, true};
    case TimingReadOutcome::NoReply:
        return NoReplyNotice;
    case TimingReadOutcome::Refused:
    case TimingReadOutcome::BadChecksum:
        return {NoticeKind::Error, "MsgLoadErr"};
    case TimingReadOutcome::Short:
        return SetErrNotice;
    case TimingReadOutcome::NotPlx:
        break;
    }
    return {NoticeKind::Warning, "MsgPLXSet"};
}

Notice NoticeOf(TimingWriteOutcome outcome) {
    switch (outcome) {
    case TimingWriteOutcome::Written:
        return {NoticeKind::Information, "MsgBBRFin", nullptr, true};
    case TimingWriteOutcome::Refused:
        return SetErrNotice;
    case TimingWriteOutcome::NoReply:
        return NoReplyNotice;
    case TimingWriteOutcome::NotPlx:
        return {NoticeKind::Warning, "MsgPLXSet"};
    case TimingWriteOutcome::OutOfRange:
        break;
    }
    return {NoticeKind::Warning, "MsgWriErr"};
}

// --- The pieces, over bytes -------------------------------------------------------------------

bool Accepted(const char* reply, int count) {
    return count > 0 && reply[0] == '+';
}

bool InfoRefusal(const char* reply, int count) {
    return count > 0 && reply[0] == '-';
}

bool ReplyChecksumOk(const char* reply, int count, int first, int last) {
    if (count <= last || first > last)
        return false;
    // Compared as sent: a lower-case digit is a different checksum.
    return std::memcmp(reply + 5, ChecksumText(reply + first, last - first + 1).data(), 2) == 0;
}

std::string ClockStamp(const QDateTime& time) {
    const QDate d = time.date();
    const QTime t = time.time();
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%02d%02d%02d", d.year() % 100, d.month(), d.day(),
                  t.hour(), t.minute());
    return text;
}

std::string LoggerClockPayload(const char* reply, const std::string& stamp) {
    std::string payload = Copy(reply, LoggerSerial) + "," + stamp;
    for (const ByteRange& group : LoggerSettingGroups)
        payload += "," + Copy(reply, group);
    return payload;
}

bool TimingInRange(int value) {
    return value >= TimingMin && value <= TimingMax;
}

std::string TimingCommand(int value) {
    return FramedCommand("BBR", ZeroPad(value, 2));
}

QDateTime CurrentLocalTime() {
    return QDateTime::currentDateTime();
}

// --- The exchanges ----------------------------------------------------------------------------

ClearOutcome ClearMemory(DeviceLink& link) {
    if (link.DeviceType == DeviceUnknown)
        return ClearOutcome::NotIdentified;
    if (!link.Exchange("CLR\r\n", ReplyWaitMs))
        return ClearOutcome::NoReply;
    return Accepted(Buffer(link), link.RecvCount) ? ClearOutcome::Cleared : ClearOutcome::Refused;
}

ClockOutcome SetClock(DeviceLink& link, const LocalClock& now) {
    std::string payload;
    switch (link.DeviceType) {
    case DeviceQMV27: {
        // The logger takes its settings back together with the time, so they are read first.
        const ClockOutcome info = ReadLoggerInfo(link);
        if (info != ClockOutcome::Set)
            return info;
        payload = LoggerClockPayload(Buffer(link), ClockStamp(now()));
        break;
    }
    case DevicePLX01:
        payload = ClockStamp(now());
        break;
    default:
        return ClockOutcome::NotIdentified;
    }
    if (!link.Exchange(FramedCommand("SET", payload), ReplyWaitMs))
        return ClockOutcome::NoReply;
    return Accepted(Buffer(link), link.RecvCount) ? ClockOutcome::Set : ClockOutcome::Refused;
}

TimingReadOutcome ReadTiming(DeviceLink& link, std::string& value) {
    value.clear();
    if (link.DeviceType != DevicePLX01)
        return TimingReadOutcome::NotPlx;
    if (!link.Exchange("INFO\r\n", ReplyWaitMs))
        return TimingReadOutcome::NoReply;
    if (InfoRefusal(Buffer(link), link.RecvCount))
        return TimingReadOutcome::Refused;
    if (!link.WaitForCount(PlxInfoMinBytes, InfoExtraWaits, InfoExtraWaitMs))
        return TimingReadOutcome::Short;
    if (!ReplyChecksumOk(Buffer(link), link.RecvCount, InfoChecksumFirst, PlxInfoChecksumLast))
        return TimingReadOutcome::BadChecksum;
    value.assign(Buffer(link) + PlxTimingAt, 2);
    return TimingReadOutcome::Read;
}

TimingWriteOutcome WriteTiming(DeviceLink& link, int value) {
    if (!TimingInRange(value))
        return TimingWriteOutcome::OutOfRange;
    if (link.DeviceType != DevicePLX01)
        return TimingWriteOutcome::NotPlx;
    if (!link.Exchange(TimingCommand(value), ReplyWaitBbrMs))
        return TimingWriteOutcome::NoReply;
    return Accepted(Buffer(link), link.RecvCount) ? TimingWriteOutcome::Written
                                                  : TimingWriteOutcome::Refused;
}

// --- Whole commands ---------------------------------------------------------------------------

DeviceResult<ClearOutcome> RunClearMemory(DeviceLink& link) {
    DeviceResult<ClearOutcome> r;
    r.frame = link.RunFrame(RecvCapacityClear, [&] { r.outcome = ClearMemory(link); });
    return r;
}

DeviceResult<ClockOutcome> RunSetClock(DeviceLink& link, const LocalClock& now) {
    DeviceResult<ClockOutcome> r;
    r.frame = link.RunFrame(RecvCapacityClock, [&] { r.outcome = SetClock(link, now); });
    return r;
}

TimingReadResult RunReadTiming(DeviceLink& link) {
    TimingReadResult r;
    r.frame = link.RunFrame(RecvCapacityTiming, [&] { r.outcome = ReadTiming(link, r.value); });
    return r;
}

DeviceResult<TimingWriteOutcome> RunWriteTiming(DeviceLink& link, int value) {
    DeviceResult<TimingWriteOutcome> r;
    if (!TimingInRange(value)) {
        r.outcome = TimingWriteOutcome::OutOfRange;
        return r;
    }
    r.frame = link.RunFrame(RecvCapacityTiming, [&] { r.outcome = WriteTiming(link, value); });
    return r;
}

} // namespace qmv
