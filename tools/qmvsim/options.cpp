#include "options.h"

#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "data/datafile.h"

namespace qmvsim {

const char* UsageText() {
    return R"(usage: qmvsim [OPTIONS]

Simulates a QMV-27 logger or a PLX01 device on a pseudo-terminal. The first line written to
standard output is the terminal's path; point QMVWIN_SERIAL_DEVICE at it. Stops on SIGINT or
SIGTERM, and by itself after closing the line (an unplugged cable).

Instrument:
  --device qmv27|plx01       which instrument answers (default qmv27)
  --id TEXT                  identifier in the TYPE reply instead of QMV27 or PLX01
                             (padded or cut to 5 characters)
  --records FILE             stored records from a data file (*.q27); for plx01 a file of the
                             MID or MIN range is moved back to the device's own levels
  --generate N               N generated sample records (the default is 20)
  --raw FILE                 stored record bytes taken as they are (33 or 10 per record)
  --empty                    no stored records: the request gets the empty-device block
  --no-end-marker            no end marker after the records; the last block is padded with
                             zero bytes
  --eot-only                 answer the request with EOT alone
  --block-size 128|1024|mixed
                             block size of the transfer; mixed sends 1024-byte blocks while a
                             whole one remains, then 128-byte blocks (default 1024)
  --clock yymmddhhnn         device clock at start (default: the computer's local time)
  --timing NN                PLX01 timing value at start, 0 to 60 (default 10)

Line:
  --link PATH                also make a symbolic link PATH to the terminal (removed at exit)
  --log FILE                 traffic log; "-" for standard error
  --line-rate BAUD           pace the output like a serial line of this rate (default 256000;
                             0 writes as fast as the terminal takes it)
  --reply-delay MS           pause before every reply and block (default 0)

Faults. CMD is TYPE, GET, CLR, INFO, SET or BBR; every switch may be given more than once:
  --silent CMD[:N]           no reply to the first N of CMD (without N: never a reply)
  --unplug-on CMD            close the line when CMD arrives
  --length CMD:N             reply cut, or padded with blanks, to N bytes
  --split CMD:N1[,N2...]     reply in pieces of N1, N2, ... bytes, the rest last
  --split-delay MS           pause between the pieces (default 300)
  --split-hold               every piece after the first waits until the simulator gets SIGUSR1
                             (one piece per signal) instead of the split delay
  --refuse CMD[:TEXT]        reply TEXT and CR LF instead (default "-"): a refusal of CLR,
                             SET, BBR or INFO; any TEXT not starting with "+" refuses
  --bad-checksum CMD         TYPE or INFO reply with a wrong checksum in bytes 5 and 6
  --lower-checksum CMD       TYPE or INFO reply with the checksum's letters in lower case
                             (the QMV27 checksum is 5D; PLX01's, 55, has no letter)
Transfer faults. Blocks are counted from 1 in the order they are first sent:
  --bad-crc N[:TIMES]        block N sent with a wrong CRC the first TIMES times (default 1)
  --bad-crc-always N         block N always sent with a wrong CRC
  --repeat-block N           block N sent a second time after its ACK
  --reuse-number N           block N sent with the number of block N-1 (N from 2 up)
  --silent-after-ack N       nothing more after the ACK of block N
  --stall-block N[:BYTES]    only BYTES of block N (default half the frame), then nothing
  --unplug-block N[:BYTES]   BYTES of block N (default the whole frame), then the line closes

Without faults the instrument checks what it is sent: SET and BBR with a wrong checksum or a
malformed payload are refused with "-"; CLR empties the memory; SET and BBR keep the clock and
the timing value, which later INFO replies report.

Other:
  --help                     this text
  --version                  the version of the simulator

Signals: SIGUSR1 releases a held piece (--split-hold); SIGUSR2 makes the simulator read
everything the program has written so far and then log the event "sync N" (N counts them), so
that a reader of the log knows it is complete.

Log lines, one per chunk read or written and one per event, each with the time in seconds on
the system's monotonic clock (CLOCK_MONOTONIC):
  <seconds> RX <hex bytes>     bytes the program sent
  <seconds> TX <hex bytes>     bytes the instrument sent
  <seconds> EV <text>          what the instrument did; "reply to CMD #N begins" right before
                               the first byte of the reply to the N-th CMD

Exit status: 0 after a signal or a closed line, 1 when the terminal cannot be made, 2 on a bad
switch or file.
)";
}

namespace {

bool ToInt(const std::string& text, int& value, int lo, int hi) {
    if (text.empty())
        return false;
    try {
        std::size_t used = 0;
        const long v = std::stol(text, &used, 10);
        if (used != text.size() || v < lo || v > hi)
            return false;
        value = static_cast<int>(v);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// Splits "CMD:REST" (REST may be absent).
bool CmdAndRest(const std::string& value, Cmd& cmd, std::string& rest, bool& hasRest) {
    const std::size_t colon = value.find(':');
    hasRest = colon != std::string::npos;
    rest = hasRest ? value.substr(colon + 1) : "";
    return CmdFromName(value.substr(0, colon), cmd);
}

bool BlockAndCount(const std::string& value, int& block, int& count, int fallback) {
    const std::size_t colon = value.find(':');
    count = fallback;
    if (!ToInt(value.substr(0, colon), block, 1, 1 << 20))
        return false;
    return colon == std::string::npos || ToInt(value.substr(colon + 1), count, 0, 1 << 20);
}

bool LocalNow(CivilTime& t) {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    if (!localtime_r(&now, &tm))
        return false;
    t = CivilTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, 0};
    return true;
}

} // namespace

bool LoadRecordFile(const std::string& path, DeviceKind kind, std::string& records,
                    std::string& error) {
    qmv::DocumentData doc;
    const qmv::LoadResult loaded = qmv::LoadDataFile(path, doc);
    if (loaded.status != qmv::LoadStatus::Ok) {
        error = "cannot read data file " + path + ": " + loaded.detail;
        return false;
    }
    const int offset = doc.Model == qmv::ModelGZNMid ? 20 : doc.Model == qmv::ModelGZNMin ? 40 : 0;
    records.clear();
    int position = 0;
    try {
        for (const qmv::recReadDataSeg& r : doc.Records) {
            ++position;
            if (kind == DeviceKind::Logger) {
                records += EncodeLoggerRecord(LoggerRecordFrom(r));
            } else {
                PlxRecord p = PlxRecordFrom(r, offset);
                p.counter = static_cast<uint16_t>(position);
                records += EncodePlxRecord(p);
            }
        }
    } catch (const std::exception& e) {
        error = path + ": record " + std::to_string(position) + ": " + e.what();
        return false;
    }
    return true;
}

bool ParseCommandLine(const std::vector<std::string>& args, Options& o, RunSettings& run,
                      std::string& error) {
    std::string recordsFile, rawFile;
    int generate = -1;
    bool empty = false;
    if (!LocalNow(o.clock)) {
        error = "cannot read the local time";
        return false;
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto bad = [&](const std::string& why) {
            error = a + ": " + why;
            return false;
        };
        if (a == "--help" || a == "-h") {
            run.help = true;
            return true;
        }
        if (a == "--version") {
            run.version = true;
            return true;
        }
        if (a == "--empty") {
            empty = true;
            continue;
        }
        if (a == "--no-end-marker") {
            o.endMarker = false;
            continue;
        }
        if (a == "--eot-only") {
            o.eotOnly = true;
            continue;
        }
        if (a == "--split-hold") {
            o.splitHold = true;
            continue;
        }
        if (a.compare(0, 2, "--") != 0)
            return bad("unknown argument");
        if (i + 1 >= args.size())
            return bad("needs a value");
        const std::string v = args[++i];
        Cmd cmd;
        std::string rest;
        bool hasRest = false;
        int n = 0, m = 0;
        if (a == "--device") {
            if (v == "qmv27")
                o.kind = DeviceKind::Logger;
            else if (v == "plx01")
                o.kind = DeviceKind::Plx;
            else
                return bad("qmv27 or plx01");
        } else if (a == "--id") {
            o.id = v;
        } else if (a == "--records") {
            recordsFile = v;
        } else if (a == "--generate") {
            if (!ToInt(v, generate, 0, 1000000))
                return bad("a count from 0 to 1000000");
        } else if (a == "--raw") {
            rawFile = v;
        } else if (a == "--block-size") {
            if (v == "128")
                o.blockMode = BlockMode::Small;
            else if (v == "1024")
                o.blockMode = BlockMode::Large;
            else if (v == "mixed")
                o.blockMode = BlockMode::Mixed;
            else
                return bad("128, 1024 or mixed");
        } else if (a == "--clock") {
            if (!ParseClockText(v, o.clock))
                return bad("a valid yymmddhhnn");
        } else if (a == "--timing") {
            if (!ToInt(v, o.timing, 0, 60))
                return bad("a value from 0 to 60");
        } else if (a == "--link") {
            run.link = v;
        } else if (a == "--log") {
            run.logPath = v;
        } else if (a == "--line-rate") {
            if (!ToInt(v, run.lineRate, 0, 100000000) || (run.lineRate > 0 && run.lineRate < 10))
                return bad("0 or a rate of at least 10");
        } else if (a == "--reply-delay") {
            if (!ToInt(v, o.replyDelayMs, 0, 600000))
                return bad("milliseconds");
        } else if (a == "--split-delay") {
            if (!ToInt(v, o.splitDelayMs, 0, 600000))
                return bad("milliseconds");
        } else if (a == "--silent" || a == "--unplug-on" || a == "--length" || a == "--split" ||
                   a == "--refuse" || a == "--bad-checksum" || a == "--lower-checksum") {
            if (!CmdAndRest(v, cmd, rest, hasRest))
                return bad("CMD is TYPE, GET, CLR, INFO, SET or BBR");
            CommandFaults& f = o.faults[static_cast<int>(cmd)];
            if (a == "--silent") {
                f.silent = -1;
                if (hasRest && !ToInt(rest, f.silent, 1, 1 << 20))
                    return bad("CMD:N with N at least 1");
            } else if (a == "--unplug-on") {
                f.unplug = true;
            } else if (a == "--length") {
                if (!hasRest || !ToInt(rest, f.length, 0, 1 << 20))
                    return bad("CMD:N");
            } else if (a == "--split") {
                f.split.clear();
                std::istringstream pieces(rest);
                std::string piece;
                while (std::getline(pieces, piece, ',')) {
                    if (!ToInt(piece, n, 1, 1 << 20))
                        return bad("CMD:N1,N2,... with sizes of at least 1");
                    f.split.push_back(n);
                }
                if (f.split.empty())
                    return bad("CMD:N1,N2,...");
            } else if (a == "--refuse") {
                f.refuse = true;
                f.refuseText = hasRest ? rest : "-";
            } else if (a == "--bad-checksum") {
                f.badChecksum = true;
            } else {
                f.lowerChecksum = true;
            }
        } else if (a == "--bad-crc") {
            if (!BlockAndCount(v, n, m, 1))
                return bad("N[:TIMES]");
            o.badCrc[n] = m;
        } else if (a == "--bad-crc-always") {
            if (!BlockAndCount(v, n, m, -1))
                return bad("N");
            o.badCrc[n] = -1;
        } else if (a == "--repeat-block") {
            if (!BlockAndCount(v, n, m, 0))
                return bad("N");
            o.repeatBlock.insert(n);
        } else if (a == "--reuse-number") {
            if (!BlockAndCount(v, o.reuseNumber, m, 0) || o.reuseNumber < 2)
                return bad("N from 2 up");
        } else if (a == "--silent-after-ack") {
            if (!BlockAndCount(v, o.silentAfterAck, m, 0))
                return bad("N");
        } else if (a == "--stall-block") {
            if (!BlockAndCount(v, o.stallBlock, o.stallBytes, -1))
                return bad("N[:BYTES]");
        } else if (a == "--unplug-block") {
            if (!BlockAndCount(v, o.unplugBlock, o.unplugBytes, -1))
                return bad("N[:BYTES]");
        } else {
            return bad("unknown switch");
        }
    }
    const int sources = (!recordsFile.empty()) + (!rawFile.empty()) + (generate >= 0) + empty;
    if (sources > 1) {
        error = "give only one of --records, --raw, --generate and --empty";
        return false;
    }
    if (!recordsFile.empty())
        return LoadRecordFile(recordsFile, o.kind, o.records, error);
    if (!rawFile.empty()) {
        std::ifstream in(rawFile, std::ios::binary);
        if (!in) {
            error = "cannot read " + rawFile;
            return false;
        }
        o.records.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return true;
    }
    if (!empty)
        o.records = o.kind == DeviceKind::Logger
                        ? GenerateLoggerRecords(generate < 0 ? 20 : generate)
                        : GeneratePlxRecords(generate < 0 ? 20 : generate);
    return true;
}

} // namespace qmvsim
