// qmvsim: a QMV-27 logger or PLX01 device on a pseudo-terminal, for tests and for trying the
// program without an instrument.
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "data/version.h"
#include "instrument.h"
#include "options.h"

using namespace qmvsim;

namespace {

volatile sig_atomic_t stopRequested = 0;
volatile sig_atomic_t releasesRequested = 0; // SIGUSR1: held pieces to let go
volatile sig_atomic_t syncsRequested = 0;    // SIGUSR2

void OnSignal(int) {
    stopRequested = 1;
}

void OnRelease(int) {
    releasesRequested = releasesRequested + 1;
}

void OnSync(int) {
    syncsRequested = syncsRequested + 1;
}

double NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

class TrafficLog {
public:
    explicit TrafficLog(const std::string& path) {
        if (path == "-")
            file_ = stderr;
        else if (!path.empty())
            file_ = std::fopen(path.c_str(), "w");
    }
    ~TrafficLog() {
        if (file_ && file_ != stderr)
            std::fclose(file_);
    }
    bool Failed(const std::string& path) const { return !path.empty() && !file_; }
    void Line(const char* kind, const std::string& text, double atMs = NowMs()) {
        if (!file_)
            return;
        // Flushed at once: tests read the log while the simulator runs. Every program on the
        // machine reads the same monotonic clock, so the log lines up with theirs.
        std::fprintf(file_, "%.6f %s %s\n", atMs / 1000.0, kind, text.c_str());
        std::fflush(file_);
    }
    void Events(Instrument& instrument) {
        for (const std::string& e : instrument.TakeEvents())
            Line("EV", e);
    }

private:
    FILE* file_ = nullptr;
};

struct Scheduled {
    double dueMs;
    std::string bytes;
    bool hangUp;
    bool held;           // waits for a release; dueMs counts from it
    std::string answers; // the request whose reply begins with these bytes, until written
};

// Both ends of the pseudo-terminal. The simulator keeps the terminal's own end open too, so
// the terminal survives the program closing and reopening its port between commands.
struct Terminal {
    int master = -1;
    int slave = -1;
    std::string path;

    ~Terminal() { Close(); }
    void Close() {
        if (slave >= 0)
            close(slave);
        if (master >= 0)
            close(master);
        slave = master = -1;
    }
    bool Open(std::string& error) {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
            error = std::string("cannot make a pseudo-terminal: ") + std::strerror(errno);
            return false;
        }
        const char* name = ptsname(master);
        if (!name) {
            error = "no name for the pseudo-terminal";
            return false;
        }
        path = name;
        slave = open(path.c_str(), O_RDWR | O_NOCTTY);
        if (slave < 0) {
            error = "cannot open " + path + ": " + std::strerror(errno);
            return false;
        }
        // Raw at once, so nothing the instrument writes is echoed back before the program
        // sets up its port.
        termios tio{};
        tcgetattr(slave, &tio);
        cfmakeraw(&tio);
        tcsetattr(slave, TCSANOW, &tio);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        return true;
    }
};

} // namespace

int main(int argc, char** argv) {
    Options options;
    RunSettings run;
    std::string error;
    if (!ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), options, run, error)) {
        std::fprintf(stderr, "qmvsim: %s\nTry 'qmvsim --help'.\n", error.c_str());
        return 2;
    }
    if (run.help) {
        std::fputs(UsageText(), stdout);
        return 0;
    }
    if (run.version) {
        std::printf("qmvsim %s\n", qmv::VersionText().c_str());
        return 0;
    }
    TrafficLog log(run.logPath);
    if (log.Failed(run.logPath)) {
        std::fprintf(stderr, "qmvsim: cannot write the log %s\n", run.logPath.c_str());
        return 2;
    }

    // Signals are blocked except while waiting, so a stop request never slips in between the
    // flag test and the wait.
    sigset_t blocked, waitMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGHUP);
    sigaddset(&blocked, SIGUSR1);
    sigaddset(&blocked, SIGUSR2);
    sigprocmask(SIG_BLOCK, &blocked, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGHUP);
    sigdelset(&waitMask, SIGUSR1);
    sigdelset(&waitMask, SIGUSR2);
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    sa.sa_handler = OnRelease;
    sigaction(SIGUSR1, &sa, nullptr);
    sa.sa_handler = OnSync;
    sigaction(SIGUSR2, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    Terminal term;
    if (!term.Open(error)) {
        std::fprintf(stderr, "qmvsim: %s\n", error.c_str());
        return 1;
    }
    if (!run.link.empty()) {
        unlink(run.link.c_str()); // a link left by an earlier run
        if (symlink(term.path.c_str(), run.link.c_str()) != 0) {
            std::fprintf(stderr, "qmvsim: cannot make the link %s: %s\n", run.link.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    std::printf("%s\n", term.path.c_str());
    std::fflush(stdout);

    const double start = NowMs();
    Instrument instrument(options, [start] { return static_cast<int64_t>(NowMs() - start); });
    log.Line("EV", std::string("ready on ") + term.path + " as " +
                       (options.kind == DeviceKind::Logger ? "QMV27" : "PLX01") + " with " +
                       std::to_string(instrument.RecordCount()) + " records");

    const double bytesPerMs = run.lineRate / 10000.0; // 10 bits per byte on the line
    std::deque<Scheduled> queue;
    double lastDue = 0;
    double lineFreeAt = 0;
    bool hungUp = false;
    int releases = 0; // releases not yet used by a held piece
    int releasesSeen = 0, syncsSeen = 0;
    char buf[4096];
    // Reads what the program wrote and schedules the replies; false when nothing was there.
    const auto readInput = [&] {
        const ssize_t r = read(term.master, buf, sizeof buf);
        if (r <= 0)
            return false;
        const std::string received(buf, r);
        log.Line("RX", HexBytes(received));
        const std::vector<Output> out = instrument.Receive(received);
        log.Events(instrument);
        const double now = NowMs();
        for (const Output& o : out) {
            const double due = std::max(now, lastDue) + o.delayMs;
            lastDue = due;
            queue.push_back(Scheduled{due, o.bytes, o.hangUp, o.held, o.answers});
        }
        return true;
    };
    while (!stopRequested && !hungUp) {
        double now = NowMs();
        if (releasesRequested != releasesSeen) {
            releases += releasesRequested - releasesSeen;
            releasesSeen = releasesRequested;
            log.Line("EV", "release");
        }
        if (syncsRequested != syncsSeen) {
            syncsSeen = syncsRequested;
            while (readInput()) {
            }
            log.Line("EV", "sync " + std::to_string(syncsSeen));
        }
        for (Scheduled& s : queue) {
            if (!s.held)
                continue;
            if (releases == 0)
                break;
            --releases;
            s.held = false;
            s.dueMs = std::max(s.dueMs, now);
        }
        bool writeBlocked = false;
        while (!queue.empty() && !queue.front().held && queue.front().dueMs <= now &&
               lineFreeAt <= now) {
            Scheduled& s = queue.front();
            std::size_t n = s.bytes.size();
            if (bytesPerMs > 0) // about two milliseconds of line time per write
                n = std::min(n, static_cast<std::size_t>(std::max(1.0, bytesPerMs * 2)));
            if (n > 0) {
                const ssize_t w = write(term.master, s.bytes.data(), n);
                if (w < 0) {
                    if (errno == EAGAIN || errno == EINTR) {
                        writeBlocked = errno == EAGAIN;
                        break;
                    }
                    log.Line("EV", std::string("write failed: ") + std::strerror(errno));
                    s.bytes.clear();
                } else {
                    // Stamped with the time before the write: the reply came no earlier.
                    if (!s.answers.empty())
                        log.Line("EV", "reply to " + s.answers + " begins", now);
                    s.answers.clear();
                    log.Line("TX", HexBytes(s.bytes.substr(0, w)));
                    s.bytes.erase(0, w);
                    if (bytesPerMs > 0)
                        lineFreeAt = std::max(now, lineFreeAt) + w / bytesPerMs;
                }
            }
            if (s.bytes.empty()) {
                if (s.hangUp) {
                    log.Line("EV", "line closed");
                    hungUp = true;
                    break;
                }
                queue.pop_front();
            }
            now = NowMs();
        }
        if (hungUp)
            break;

        int timeoutMs = -1;
        if (!queue.empty() && !writeBlocked && !queue.front().held) {
            const double next = std::max(queue.front().dueMs, lineFreeAt);
            timeoutMs = static_cast<int>(std::ceil(std::max(0.0, next - NowMs())));
        }
        pollfd pfd{term.master, static_cast<short>(POLLIN | (writeBlocked ? POLLOUT : 0)), 0};
        timespec ts{timeoutMs / 1000, (timeoutMs % 1000) * 1000000L};
        const int ready = ppoll(&pfd, 1, timeoutMs < 0 ? nullptr : &ts, &waitMask);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            log.Line("EV", std::string("poll failed: ") + std::strerror(errno));
            break;
        }
        if (ready == 0 || !(pfd.revents & POLLIN))
            continue;
        readInput();
    }
    if (stopRequested)
        log.Line("EV", "stopped by a signal");
    term.Close();
    if (!run.link.empty()) {
        struct stat st {};
        if (lstat(run.link.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            unlink(run.link.c_str());
    }
    return 0;
}
