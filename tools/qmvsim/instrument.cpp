#include "instrument.h"

#include <cctype>

namespace qmvsim {

namespace {
const char* const Names[CmdCount] = {"TYPE", "GET", "CLR", "INFO", "SET", "BBR"};

// Longest line kept while waiting for its CR LF; anything longer is noise.
constexpr std::size_t MaxLine = 512;
} // namespace

const char* CmdName(Cmd c) {
    return Names[static_cast<int>(c)];
}

bool CmdFromName(const std::string& name, Cmd& c) {
    for (int i = 0; i < CmdCount; ++i) {
        std::string upper;
        for (char ch : name)
            upper += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        if (upper == Names[i]) {
            c = static_cast<Cmd>(i);
            return true;
        }
    }
    return false;
}

Instrument::Instrument(Options options, std::function<int64_t()> nowMs)
    : options_(std::move(options)), nowMs_(std::move(nowMs)) {
    timing_ = options_.timing;
    settings_ = options_.settings;
    SetClock(options_.clock);
}

void Instrument::SetClock(const CivilTime& t) {
    clockSeconds_ = ToEpochSeconds(t);
    clockSetAtMs_ = nowMs_();
}

CivilTime Instrument::Clock() const {
    return FromEpochSeconds(clockSeconds_ + (nowMs_() - clockSetAtMs_) / 1000);
}

int Instrument::RecordCount() const {
    const int size = options_.kind == DeviceKind::Logger ? LoggerRecordBytes : PlxRecordBytes;
    return static_cast<int>(options_.records.size() / size);
}

std::vector<std::string> Instrument::TakeEvents() {
    std::vector<std::string> out;
    out.swap(events_);
    return out;
}

std::vector<Output> Instrument::Receive(const std::string& bytes) {
    std::vector<Output> out;
    if (state_ == State::Dead)
        return out;
    pending_ += bytes;
    auto append = [&out](std::vector<Output> more) {
        out.insert(out.end(), more.begin(), more.end());
    };
    while (!pending_.empty() && state_ != State::Dead) {
        const char c = pending_[0];
        const bool transferring = state_ == State::Sending || state_ == State::AwaitEotAck;
        if (transferring && (c == ACK || c == NAK)) {
            pending_.erase(0, 1);
            append(c == ACK ? OnAck() : OnNak());
            continue;
        }
        if (state_ == State::AwaitC) {
            if (c == 'C') {
                pending_.erase(0, 1);
                append(StartTransfer());
                continue;
            }
            Event("GET not followed by C");
            state_ = State::Idle;
        }
        if (transferring && c == 'C') { // a receiver repeating its start request
            pending_.erase(0, 1);
            continue;
        }
        if (state_ == State::Idle && (c == ACK || c == NAK || c == '\0')) {
            pending_.erase(0, 1);
            Event(std::string("ignored stray ") + (c == ACK ? "ACK" : c == NAK ? "NAK" : "NUL"));
            continue;
        }
        const std::size_t end = pending_.find("\r\n");
        if (end == std::string::npos) {
            if (pending_.size() > MaxLine) {
                Event("dropped " + std::to_string(pending_.size()) + " bytes without a line end");
                pending_.clear();
            }
            break;
        }
        const std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 2);
        if (transferring) {
            Event("transfer abandoned by a new command");
            state_ = State::Idle;
        }
        append(HandleLine(line));
    }
    return out;
}

std::vector<Output> Instrument::HandleLine(const std::string& line) {
    Cmd cmd;
    if (line == "TYPE")
        cmd = Cmd::Type;
    else if (line == "GET")
        cmd = Cmd::Get;
    else if (line == "CLR")
        cmd = Cmd::Clr;
    else if (line == "INFO")
        cmd = Cmd::Info;
    else if (line.compare(0, 4, "SET:") == 0)
        cmd = Cmd::Set;
    else if (line.compare(0, 4, "BBR:") == 0)
        cmd = Cmd::Bbr;
    else {
        Event("unknown command \"" + line + "\", no reply");
        return {};
    }
    const int n = ++counts_[static_cast<int>(cmd)];
    const CommandFaults& f = options_.faults[static_cast<int>(cmd)];
    Event(std::string(CmdName(cmd)) + " #" + std::to_string(n));
    if (f.unplug) {
        Event(std::string("line closed on ") + CmdName(cmd));
        state_ = State::Dead;
        return {Output{options_.replyDelayMs, "", true}};
    }
    if (cmd == Cmd::Get) { // the transfer starts with the receiver's C
        state_ = State::AwaitC;
        return {};
    }
    if (f.silent < 0 || n <= f.silent) {
        Event(std::string("no reply to ") + CmdName(cmd));
        return {};
    }
    std::string reply;
    switch (cmd) {
    case Cmd::Type:
        reply = TypeAnswer();
        break;
    case Cmd::Clr:
        if (!f.refuse) {
            options_.records.clear();
            Event("memory cleared");
        }
        reply = "+\r\n";
        break;
    case Cmd::Info:
        reply = InfoAnswer();
        break;
    case Cmd::Set:
        reply = f.refuse ? "" : SetAnswer(line);
        break;
    case Cmd::Bbr:
        reply = f.refuse ? "" : BbrAnswer(line);
        break;
    case Cmd::Get:
        break;
    }
    if (reply.empty() && !f.refuse)
        return {}; // a command this device does not know
    std::vector<Output> out = Reply(cmd, reply);
    if (!out.empty())
        out.front().answers = std::string(CmdName(cmd)) + " #" + std::to_string(n);
    return out;
}

std::vector<Output> Instrument::Reply(Cmd cmd, std::string reply) {
    const CommandFaults& f = options_.faults[static_cast<int>(cmd)];
    if (f.refuse) {
        reply = f.refuseText + "\r\n";
        Event(std::string("refused ") + CmdName(cmd) + " with \"" + f.refuseText + "\"");
    }
    if ((f.badChecksum || f.lowerChecksum) && reply.size() >= 7) {
        if (f.badChecksum) {
            const unsigned wrong = (std::stoul(reply.substr(5, 2), nullptr, 16) + 1) & 0xFF;
            static const char digits[] = "0123456789ABCDEF";
            reply[5] = digits[wrong >> 4];
            reply[6] = digits[wrong & 0xF];
        }
        if (f.lowerChecksum) {
            reply[5] = static_cast<char>(std::tolower(static_cast<unsigned char>(reply[5])));
            reply[6] = static_cast<char>(std::tolower(static_cast<unsigned char>(reply[6])));
        }
        Event(std::string("checksum of the ") + CmdName(cmd) + " reply is now \"" +
              reply.substr(5, 2) + "\"");
    }
    if (f.length >= 0 && static_cast<int>(reply.size()) != f.length) {
        reply.resize(f.length, ' ');
        Event(std::string(CmdName(cmd)) + " reply sent as " + std::to_string(f.length) + " bytes");
    }
    std::vector<Output> out;
    std::size_t at = 0;
    const auto piece = [&](std::size_t n) {
        const bool later = !out.empty();
        out.push_back(
            Output{later ? (options_.splitHold ? 0 : options_.splitDelayMs) : options_.replyDelayMs,
                   reply.substr(at, n), false, later && options_.splitHold});
        at += n;
    };
    for (int size : f.split) {
        if (at >= reply.size())
            break;
        piece(std::min<std::size_t>(size < 0 ? 0 : size, reply.size() - at));
    }
    if (at < reply.size())
        piece(reply.size() - at);
    return out;
}

std::string Instrument::TypeAnswer() const {
    if (!options_.id.empty())
        return TypeReply(options_.id);
    return TypeReply(options_.kind == DeviceKind::Logger ? "QMV27" : "PLX01");
}

std::string Instrument::InfoAnswer() const {
    if (options_.kind == DeviceKind::Logger)
        return LoggerInfoReply(settings_, Clock(), RecordCount());
    return PlxInfoReply(Clock(), timing_);
}

std::string Instrument::SetAnswer(const std::string& line) {
    std::string payload;
    bool checksumOk = false;
    if (!ParseFramed(line, "SET", payload, checksumOk)) {
        Event("SET refused: not NAME:CS:PAYLOAD");
        return "-\r\n";
    }
    if (!checksumOk) {
        Event("SET refused: checksum " + line.substr(4, 2) + " should be " + ChecksumHex(payload));
        return "-\r\n";
    }
    CivilTime t;
    if (options_.kind == DeviceKind::Logger) {
        LoggerSettings s;
        std::string why;
        if (!ParseLoggerClockPayload(payload, settings_, t, s, why)) {
            Event("SET refused: " + why);
            return "-\r\n";
        }
        settings_ = s;
    } else if (!ParseClockText(payload, t)) {
        Event("SET refused: \"" + payload + "\" is not a valid yymmddhhnn");
        return "-\r\n";
    }
    SetClock(t);
    Event("clock set to " + ClockText(t));
    return "+\r\n";
}

std::string Instrument::BbrAnswer(const std::string& line) {
    if (options_.kind == DeviceKind::Logger) {
        Event("BBR is not a logger command, no reply");
        return "";
    }
    std::string payload;
    bool checksumOk = false;
    if (!ParseFramed(line, "BBR", payload, checksumOk)) {
        Event("BBR refused: not NAME:CS:PAYLOAD");
        return "-\r\n";
    }
    if (!checksumOk) {
        Event("BBR refused: checksum " + line.substr(4, 2) + " should be " + ChecksumHex(payload));
        return "-\r\n";
    }
    if (payload.size() != 2 || !std::isdigit(static_cast<unsigned char>(payload[0])) ||
        !std::isdigit(static_cast<unsigned char>(payload[1])) || std::stoi(payload) > 60) {
        Event("BBR refused: \"" + payload + "\" is not two digits from 00 to 60");
        return "-\r\n";
    }
    timing_ = std::stoi(payload);
    Event("timing set to " + payload);
    return "+\r\n";
}

std::vector<Output> Instrument::StartTransfer() {
    const int n = counts_[static_cast<int>(Cmd::Get)];
    const CommandFaults& f = options_.faults[static_cast<int>(Cmd::Get)];
    if (f.silent < 0 || n <= f.silent) {
        state_ = State::Idle;
        Event("no reply to GET");
        return {};
    }
    sent_.clear();
    repeated_.clear();
    frame_ = 0;
    if (options_.eotOnly) {
        frames_.clear();
    } else if (options_.records.empty()) {
        frames_ = EmptyDeviceBlocks(options_.kind);
        Event("sending the empty-device block");
    } else {
        std::string data = options_.records;
        if (options_.endMarker)
            data += options_.kind == DeviceKind::Logger ? LoggerEndMarker() : PlxEndMarker();
        frames_ = BuildBlocks(data, options_.blockMode);
        Event("sending " + std::to_string(RecordCount()) + " records in " +
              std::to_string(frames_.size()) + " blocks");
    }
    std::vector<Output> out;
    if (frames_.empty()) {
        state_ = State::AwaitEotAck;
        Event("EOT");
        out = {Output{options_.replyDelayMs, std::string(1, EOT), false}};
    } else {
        state_ = State::Sending;
        out = SendFrame(false);
    }
    out.front().answers = "GET #" + std::to_string(n);
    return out;
}

std::vector<Output> Instrument::SendFrame(bool resend) {
    const int block = static_cast<int>(frame_) + 1;
    const int sending = ++sent_[frame_];
    std::string frame = frames_[frame_];
    const auto bad = options_.badCrc.find(block);
    if (bad != options_.badCrc.end() && (bad->second < 0 || sending <= bad->second)) {
        frame.back() = static_cast<char>(frame.back() ^ 0xFF);
        Event("block " + std::to_string(block) + " sent with a wrong CRC");
    } else if (resend) {
        Event("block " + std::to_string(block) + " sent again");
    }
    if (block == options_.reuseNumber && frame_ > 0) {
        frame.replace(1, 2, frames_[frame_ - 1], 1, 2);
        Event("block " + std::to_string(block) + " sent with the number of the block before");
    }
    if (block == options_.stallBlock) {
        const std::size_t n = options_.stallBytes < 0
                                  ? frame.size() / 2
                                  : std::min<std::size_t>(options_.stallBytes, frame.size());
        Event("block " + std::to_string(block) + " stops after " + std::to_string(n) + " bytes");
        state_ = State::Idle;
        return {Output{options_.replyDelayMs, frame.substr(0, n), false}};
    }
    if (block == options_.unplugBlock) {
        const std::size_t n = options_.unplugBytes < 0
                                  ? frame.size()
                                  : std::min<std::size_t>(options_.unplugBytes, frame.size());
        Event("line closed after " + std::to_string(n) + " bytes of block " +
              std::to_string(block));
        state_ = State::Dead;
        return {Output{options_.replyDelayMs, frame.substr(0, n), true}};
    }
    return {Output{options_.replyDelayMs, frame, false}};
}

std::vector<Output> Instrument::OnAck() {
    if (state_ == State::AwaitEotAck) {
        state_ = State::Idle;
        Event("transfer complete");
        return {};
    }
    const int block = static_cast<int>(frame_) + 1;
    if (block == options_.silentAfterAck) {
        Event("silent after the ACK of block " + std::to_string(block));
        state_ = State::Idle;
        return {};
    }
    if (options_.repeatBlock.count(block) && !repeated_.count(frame_)) {
        repeated_.insert(frame_);
        Event("block " + std::to_string(block) + " repeated after its ACK");
        return SendFrame(true);
    }
    ++frame_;
    if (frame_ >= frames_.size()) {
        state_ = State::AwaitEotAck;
        Event("EOT");
        return {Output{options_.replyDelayMs, std::string(1, EOT), false}};
    }
    return SendFrame(false);
}

std::vector<Output> Instrument::OnNak() {
    if (state_ == State::AwaitEotAck) {
        Event("EOT again after NAK");
        return {Output{options_.replyDelayMs, std::string(1, EOT), false}};
    }
    return SendFrame(true);
}

} // namespace qmvsim
