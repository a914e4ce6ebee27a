#include "serial/commx.h"

#include "serial/posixline.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QMetaObject>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

Q_LOGGING_CATEGORY(lcSerial, "qmvwin.serial", QtWarningMsg)

namespace qmv {

namespace {

std::atomic<int> gThreadsRunning{0};

constexpr int MaxOutstandingChunks = 32;
// The longest PurgeTrans waits for the transmit thread to let go of dropped chunks. Dropping
// takes it no time; this only keeps a thread that cannot run from holding the caller forever.
constexpr int PurgeBoundMs = 2000;
constexpr int EventBreak = 0x40;
// While unread bytes sit in the input queue, new arrivals are noticed by looking at the queue
// this often (the descriptor stays readable, so waiting on it would spin).
constexpr int QueuedPollMs = 10;

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void Wake(int efd) {
    const uint64_t one = 1;
    ssize_t r = ::write(efd, &one, sizeof one);
    (void)r;
}

void Drain(int efd) {
    uint64_t v;
    while (::read(efd, &v, sizeof v) > 0) {
    }
}

int CharTimeFor(int bitRate) {
    return 1000 / std::max(bitRate / 10, 1) + 1;
}

void LogBytes(const char* what, const char* data, qsizetype n) {
    if (lcSerial().isDebugEnabled())
        qCDebug(lcSerial).noquote() << what << QByteArray(data, n).toHex(' ');
}

// Released when the main thread has run (or dropped) a handed-over event.
struct Waiter {
    std::mutex lock;
    std::condition_variable cv;
    bool done = false;
    void Wait() {
        std::unique_lock<std::mutex> l(lock);
        cv.wait(l, [this] { return done; });
    }
    void Release() {
        std::lock_guard<std::mutex> l(lock);
        done = true;
        cv.notify_all();
    }
};

// Lives inside the queued call: whether the call runs or is discarded with its target, its
// destruction lets the waiting thread go on.
struct Releaser {
    std::shared_ptr<Waiter> waiter;
    ~Releaser() {
        if (waiter)
            waiter->Release();
    }
};

} // namespace

int CommThreadsRunning() {
    return gThreadsRunning.load();
}

namespace commx_detail {

struct HandOverLink {
    std::mutex lock;
    QObject* target = nullptr; // null once the component is being destroyed
};

enum class EventKind { RxChar, Break, Error, TransEmpty };

const char* EventName(EventKind kind) {
    switch (kind) {
    case EventKind::RxChar:
        return "receive";
    case EventKind::Break:
        return "break";
    case EventKind::Error:
        return "error";
    case EventKind::TransEmpty:
        break;
    }
    return "transmit emptied";
}

// A chunk of bytes for the transmit thread, stamped with the purge it was queued after.
struct Chunk {
    std::vector<char> bytes;
    unsigned purge = 0;
};

// Everything one opening of the port shares with its two threads. The threads hold it by
// shared_ptr, so it outlives both Close and the component.
struct Session {
    int fd = -1;                   // the main thread's descriptor; -1 once closed
    int rxWake = -1;               // eventfd that ends the receive thread's wait
    int txWake = -1;               // eventfd that feeds and wakes the transmit thread
    bool txStarted = false;        // main thread only
    TCustomCommX* owner = nullptr; // read on the main thread only
    std::shared_ptr<HandOverLink> link;
    posixline::ControlBlock control; // main thread only
    posixline::SavedSettings saved;  // the line's settings before this opening

    std::atomic<bool> rxTerminate{false};
    std::atomic<bool> txTerminate{false};
    // Counts the purges of the transmit queue: a chunk queued before the latest purge is dropped
    // unwritten, and a write in progress stops at its next step.
    std::atomic<unsigned> purges{0};
    std::atomic<bool> lineLost{false};
    std::atomic<long long> bytesRead{0};   // taken from the input queue by ReceiveData
    std::atomic<long long> bytesPurged{0}; // dropped from it by PurgeReceive
    std::atomic<int> charTime{0};
    std::atomic<int> flowCtrl{cfcRtsCts};
    std::atomic<int> timeOutTrans{3000};

    // Guards the counters and txRunning; taken before queueLock where both are needed.
    std::mutex counterLock;
    int transBytes = 0;
    int transChunks = 0;
    int sendsRunning = 0;                 // SendData calls still queueing their chunks
    bool txRunning = false;               // the transmit thread takes chunks
    std::condition_variable transEmptied; // transBytes reached 0

    std::mutex writeLock;

    std::mutex queueLock;
    std::deque<Chunk> queue;

    std::mutex errorLock;
    posixline::LineCounters errorBase;

    ~Session() {
        if (rxWake >= 0)
            ::close(rxWake);
        if (txWake >= 0)
            ::close(txWake);
    }

    // The line-error bits since the last call (the driver's error word, read and cleared).
    int TakeErrorBits(int anyFd) {
        posixline::LineCounters now = posixline::ReadCounters(anyFd);
        if (!now.valid)
            return 0;
        std::lock_guard<std::mutex> l(errorLock);
        int bits = 0;
        if (errorBase.valid) {
            if (now.overrun != errorBase.overrun)
                bits |= CommErrOverrun;
            if (now.parity != errorBase.parity)
                bits |= CommErrParity;
            if (now.frame != errorBase.frame)
                bits |= CommErrFraming;
        }
        errorBase = now;
        return bits;
    }

    int TransBytes() {
        std::lock_guard<std::mutex> l(counterLock);
        return transBytes;
    }

    bool Pop(Chunk& chunk) {
        std::lock_guard<std::mutex> l(queueLock);
        if (queue.empty())
            return false;
        chunk = std::move(queue.front());
        queue.pop_front();
        return true;
    }

    // Runs on the main thread, inside the hand-over object's event.
    static void Deliver(const std::shared_ptr<Session>& s, EventKind kind, int value) {
        TCustomCommX* c = s->owner;
        // Events of an earlier opening, or arriving after Close, are dropped.
        if (c->FSession != s)
            return;
        switch (kind) {
        case EventKind::RxChar:
            c->DoReceive();
            break;
        case EventKind::Break:
            c->DoBreak();
            break;
        case EventKind::Error:
            c->DoError(value);
            break;
        case EventKind::TransEmpty:
            emit c->TransEmptied();
            break;
        }
    }

    // From a worker thread: queue the event for the main thread and, when wait is true, block
    // until it has been handled there (or dropped because the component is gone).
    static void HandOver(const std::shared_ptr<Session>& s, EventKind kind, int value, bool wait) {
        std::shared_ptr<Waiter> waiter = wait ? std::make_shared<Waiter>() : nullptr;
        {
            std::lock_guard<std::mutex> l(s->link->lock);
            if (!s->link->target)
                return;
            auto releaser = std::make_shared<Releaser>();
            releaser->waiter = waiter;
            QMetaObject::invokeMethod(
                s->link->target, [s, kind, value, releaser]() { Deliver(s, kind, value); },
                Qt::QueuedConnection);
        }
        if (waiter) {
            // The traffic log shows where the line waits for the program.
            qCDebug(lcSerial).noquote()
                << "waiting for the" << EventName(kind) << "event to be handled";
            waiter->Wait();
        }
    }

    void ReportLineErrorsAsync(const std::shared_ptr<Session>& self, int anyFd) {
        int bits = TakeErrorBits(anyFd);
        if (bits != 0)
            HandOver(self, EventKind::Error, bits, false);
    }
};

namespace {

void HalfDuplexRts(Session& s, int fd, bool beginning) {
    const int flow = s.flowCtrl.load();
    if (flow != cfcHalfHigh && flow != cfcHalfLow)
        return;
    const bool high = flow == cfcHalfHigh;
    if (beginning) {
        SleepMs(50);
        posixline::SetModemLine(fd, true, high);
        SleepMs(s.charTime.load());
    } else {
        SleepMs(s.charTime.load());
        posixline::SetModemLine(fd, true, !high);
    }
}

// Writes one chunk. A chunk still not written when the write time-out runs out is cut short;
// a failing line drops the rest of it.
void WriteChunk(const std::shared_ptr<Session>& s, int fd, const Chunk& chunk) {
    const char* p = chunk.bytes.data();
    size_t left = chunk.bytes.size();
    const int limit = s->timeOutTrans.load();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit);
    while (left > 0 && chunk.purge == s->purges.load() && !s->txTerminate) {
        ssize_t n;
        {
            std::lock_guard<std::mutex> l(s->writeLock);
            n = ::write(fd, p, left);
        }
        if (n > 0) {
            LogBytes("sent", p, n);
            p += n;
            left -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            int wait = -1;
            if (limit > 0) {
                auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(
                                deadline - std::chrono::steady_clock::now())
                                .count();
                if (rest <= 0)
                    break;
                wait = static_cast<int>(rest);
            }
            pollfd p2[2] = {{fd, POLLOUT, 0}, {s->txWake, POLLIN, 0}};
            ::poll(p2, 2, wait);
            // Queued chunks are looked at after this one anyway; a wake-up here means a purge,
            // termination or more data, all handled by the loops.
            if (p2[1].revents & POLLIN)
                Drain(s->txWake);
            if (p2[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
                s->ReportLineErrorsAsync(s, fd);
                break;
            }
            continue;
        }
        s->ReportLineErrorsAsync(s, fd);
        break;
    }
}

void TransmitLoop(std::shared_ptr<Session> s, int fd) {
    while (!s->txTerminate) {
        pollfd w = {s->txWake, POLLIN, 0};
        if (::poll(&w, 1, -1) < 0 && errno != EINTR) {
            qCWarning(lcSerial) << "transmit thread stopped:" << std::strerror(errno);
            break;
        }
        Drain(s->txWake);
        bool burst = false;
        Chunk chunk;
        while (s->Pop(chunk)) {
            if (chunk.purge == s->purges.load() && !s->txTerminate) {
                if (!burst) {
                    burst = true;
                    HalfDuplexRts(*s, fd, true);
                }
                WriteChunk(s, fd, chunk);
            }
            bool emptied = false;
            {
                std::lock_guard<std::mutex> l(s->counterLock);
                s->transBytes = std::max(0, s->transBytes - static_cast<int>(chunk.bytes.size()));
                if (s->transChunks > 0)
                    --s->transChunks;
                // A send still queueing its later chunks has not emptied the queue.
                emptied = s->transBytes == 0 && s->sendsRunning == 0;
            }
            if (emptied) {
                s->transEmptied.notify_all();
                Session::HandOver(s, EventKind::TransEmpty, 0, false);
            }
        }
        if (burst)
            HalfDuplexRts(*s, fd, false);
    }
    // Whatever is still queued will never be written: it no longer counts as pending, and
    // nothing more is taken.
    bool dropped = false;
    {
        std::lock_guard<std::mutex> l(s->counterLock);
        s->txRunning = false;
        {
            std::lock_guard<std::mutex> q(s->queueLock);
            s->queue.clear();
        }
        dropped = s->transBytes != 0;
        s->transBytes = 0;
        s->transChunks = 0;
    }
    s->transEmptied.notify_all();
    if (dropped)
        Session::HandOver(s, EventKind::TransEmpty, 0, false);
    ::close(fd);
    s.reset();
    --gThreadsRunning;
}

void ReceiveLoop(std::shared_ptr<Session> s, int fd) {
    posixline::LineCounters breakBase = posixline::ReadCounters(fd);
    // Bytes that ever arrived (queued, read or purged) when the last arrival was reported, so
    // that bytes coming while older ones still wait in the queue are reported too.
    long long seen = 0;
    bool pending = false;
    bool watchPort = true;
    while (!s->rxTerminate) {
        pollfd p[2] = {{s->rxWake, POLLIN, 0}, {fd, POLLIN, 0}};
        nfds_t count = 2;
        int timeout = -1;
        if (!watchPort) {
            count = 1;
        } else if (pending) {
            // The descriptor stays readable while bytes wait, so look at the queue instead.
            count = 1;
            timeout = QueuedPollMs;
        }
        if (::poll(p, count, timeout) < 0 && errno != EINTR)
            break;
        if (p[0].revents & POLLIN)
            Drain(s->rxWake);
        if (s->rxTerminate)
            break;

        if (count == 2 && (p[1].revents & (POLLHUP | POLLERR | POLLNVAL))) {
            // The far end is gone; nothing more can arrive. Wait only for Close.
            s->lineLost = true;
            watchPort = false;
        }

        const int queued = posixline::InputQueue(fd);
        const long long total = queued + s->bytesRead.load() + s->bytesPurged.load();
        bool arrived = false;
        if (watchPort && queued > 0)
            arrived = count == 2 ? (p[1].revents & POLLIN) != 0 : total > seen;
        if (arrived || total < seen)
            seen = total;

        int bits = s->TakeErrorBits(fd);
        if (bits != 0)
            Session::HandOver(s, EventKind::Error, bits, true);

        posixline::LineCounters now = posixline::ReadCounters(fd);
        if (now.valid && breakBase.valid && now.brk != breakBase.brk)
            Session::HandOver(s, EventKind::Break, EventBreak | (arrived ? 0x01 : 0), true);
        breakBase = now;

        if (arrived && !s->rxTerminate)
            Session::HandOver(s, EventKind::RxChar, 0, true);
        pending = watchPort && posixline::InputQueue(fd) > 0;
    }
    ::close(fd);
    s.reset();
    --gThreadsRunning;
}

} // namespace
} // namespace commx_detail

using commx_detail::Chunk;
using commx_detail::EventKind;
using commx_detail::Session;

TCustomCommX::TCustomCommX(QObject* parent)
    : QObject(parent), FHandOver(new QObject),
      FLink(std::make_shared<commx_detail::HandOverLink>()) {
    FLink->target = FHandOver;
}

TCustomCommX::~TCustomCommX() {
    Close();
    {
        // Threads still running check this before queuing; deleting the object below drops
        // whatever they queued and releases any thread waiting for it.
        std::lock_guard<std::mutex> l(FLink->lock);
        FLink->target = nullptr;
    }
    delete FHandOver;
}

bool TCustomCommX::IsOpen() const {
    return FSession != nullptr;
}

int TCustomCommX::Handle() const {
    return FSession ? FSession->fd : -1;
}

int TCustomCommX::CharTime() const {
    return FSession ? FSession->charTime.load() : 0;
}

bool TCustomCommX::LineLost() const {
    return FSession && FSession->lineLost;
}

unsigned TCustomCommX::FlowCtrlFlags(TCommFlowCtrls value) {
    switch (value) {
    case cfcRtsCts:
        return 0x2017;
    case cfcDtrDsr:
        return 0x102B;
    case cfcXonXoff:
        return 0x1313;
    case cfcHalfHigh:
        return 0x0013;
    case cfcHalfLow:
        return 0x1013;
    case cfcNone:
        return 0x1013;
    }
    return 0x1013;
}

void TCustomCommX::Open() {
    if (FSession)
        throw ECommError(commtext::AlreadyOpen);
    const QByteArray path = QFile::encodeName(FPortName);
    posixline::SavedSettings saved;
    const int fd = posixline::OpenExclusive(path, saved);
    if (fd < 0) {
        const PortRefusal refusal = RefusalOfErrno(errno);
        throw ECommError(commtext::NotOpened, refusal,
                         refusal == PortRefusal::Busy ? PortHolder(path.toStdString(), ::getpid())
                                                      : std::string());
    }

    auto s = std::make_shared<Session>();
    s->fd = fd;
    s->saved = saved;
    s->owner = this;
    s->link = FLink;
    s->flowCtrl = FFlowCtrl;
    s->timeOutTrans = FTimeOutTrans;
    FSession = s;
    try {
        ApplyBufLen();
        // Nothing left over from an earlier user of the line.
        posixline::FlushOutput(fd);
        posixline::FlushInput(fd);
        posixline::ReadControl(fd, s->control);
        ApplyBitRate();
        ApplyCharSize();
        ApplyParityBit();
        ApplyStopBit();
        ApplyFlowCtrl();
        ApplyTimeouts();
        ApplyXonChar();
        ApplyXoffChar();
        s->TakeErrorBits(fd);
        StartThreads();
    } catch (...) {
        Close();
        throw;
    }
}

void TCustomCommX::StartThreads() {
    auto s = FSession;
    s->charTime = CharTimeFor(FBitRate);
    s->txWake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    int txFd = s->txWake >= 0 ? ::fcntl(s->fd, F_DUPFD_CLOEXEC, 0) : -1;
    if (txFd < 0)
        throw ECommError(commtext::TransThread);
    try {
        {
            std::lock_guard<std::mutex> l(s->counterLock);
            s->txRunning = true;
        }
        ++gThreadsRunning;
        std::thread(commx_detail::TransmitLoop, s, txFd).detach();
    } catch (const std::system_error&) {
        --gThreadsRunning;
        {
            std::lock_guard<std::mutex> l(s->counterLock);
            s->txRunning = false;
        }
        ::close(txFd);
        throw ECommError(commtext::TransThread);
    }
    s->txStarted = true;

    s->rxWake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    int rxFd = s->rxWake >= 0 ? ::fcntl(s->fd, F_DUPFD_CLOEXEC, 0) : -1;
    if (rxFd < 0)
        throw ECommError(commtext::ReceiveThread);
    try {
        ++gThreadsRunning;
        std::thread(commx_detail::ReceiveLoop, s, rxFd).detach();
    } catch (const std::system_error&) {
        --gThreadsRunning;
        ::close(rxFd);
        throw ECommError(commtext::ReceiveThread);
    }
    SleepMs(100);
}

void TCustomCommX::Close() {
    auto s = FSession;
    if (!s)
        return;
    SetDTR(false);
    SetRTS(false);
    PurgeTrans();
    PurgeReceive();
    SleepMs(100);
    s->txTerminate = true;
    if (s->txWake >= 0)
        Wake(s->txWake);
    s->rxTerminate = true;
    if (s->rxWake >= 0)
        Wake(s->rxWake);
    // The threads keep their own descriptors until they end; giving the line back here (its
    // settings, exclusive use and lock) lets the next command open it at once.
    posixline::Release(s->fd, s->saved);
    s->fd = -1;
    FSession.reset();
    SleepMs(200);
}

bool TCustomCommX::SendData(const char* data, int count) {
    if (count == 0)
        return true;
    if (count < 0 || !data)
        return false;
    auto s = FSession;
    if (!s || !s->txStarted)
        return false;
    // While this send queues chunk after chunk, the transmit thread may write the first before
    // the next is queued: the queue counts as emptied only once the whole send is queued.
    struct Sending {
        std::shared_ptr<Session> s;
        explicit Sending(std::shared_ptr<Session> session) : s(std::move(session)) {
            std::lock_guard<std::mutex> l(s->counterLock);
            ++s->sendsRunning;
        }
        ~Sending() {
            bool emptied;
            {
                std::lock_guard<std::mutex> l(s->counterLock);
                --s->sendsRunning;
                emptied = s->sendsRunning == 0 && s->transBytes == 0 && s->txRunning;
            }
            if (emptied) {
                s->transEmptied.notify_all();
                Session::HandOver(s, EventKind::TransEmpty, 0, false);
            }
        }
    } sending(s);
    int done = 0;
    while (done < count) {
        if (FSession != s)
            return false;
        int chunks;
        {
            std::lock_guard<std::mutex> l(s->counterLock);
            if (!s->txRunning)
                return false;
            chunks = s->transChunks;
        }
        if (chunks >= MaxOutstandingChunks) {
            // Events keep flowing while the writer catches up.
            QCoreApplication::processEvents();
            SleepMs(1);
            continue;
        }
        const int n = std::min(std::max(FBufLenTrans, 1), count - done);
        try {
            Chunk chunk{std::vector<char>(data + done, data + done + n), s->purges.load()};
            {
                std::lock_guard<std::mutex> l(s->counterLock);
                if (!s->txRunning)
                    return false;
                s->transBytes += n;
                ++s->transChunks;
                std::lock_guard<std::mutex> q(s->queueLock);
                s->queue.push_back(std::move(chunk));
            }
            Wake(s->txWake);
            qCDebug(lcSerial) << "queued" << n;
        } catch (const std::bad_alloc&) {
            // Out of memory: these bytes are skipped, as the line itself might have lost them.
        }
        done += n;
    }
    return true;
}

bool TCustomCommX::SendString(const std::string& text) {
    return SendData(text.data(), static_cast<int>(text.size()));
}

bool TCustomCommX::SendString(const QByteArray& text) {
    return SendData(text.constData(), static_cast<int>(text.size()));
}

int TCustomCommX::ReceiveData(char* buffer, int count) {
    auto s = FSession;
    if (!s || !s->txStarted || !buffer)
        return -1;
    if (count <= 0)
        return 0;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(FTimeOutReceive);
    int got = 0;
    while (got < count) {
        ssize_t n = ::read(s->fd, buffer + got, static_cast<size_t>(count - got));
        if (n > 0) {
            LogBytes("received", buffer + got, n);
            s->bytesRead += n;
            got += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // A raw non-blocking terminal answers "nothing yet" with 0 or EAGAIN alike; a line that
        // hung up says so through poll.
        if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
            auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
            if (rest <= 0)
                break;
            pollfd p = {s->fd, POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(rest));
            if (!(p.revents & (POLLHUP | POLLERR | POLLNVAL)))
                continue;
        }
        // The line failed or hung up; what was read so far is still handed back.
        ReportLineErrors();
        return got > 0 ? got : -1;
    }
    return got;
}

int TCustomCommX::TransCount() const {
    return FSession ? FSession->TransBytes() : 0;
}

int TCustomCommX::ReceiveCount() {
    auto s = FSession;
    if (!s)
        return 0;
    s->TakeErrorBits(s->fd);
    return posixline::InputQueue(s->fd);
}

void TCustomCommX::PurgeTrans() {
    auto s = FSession;
    if (!s)
        return;
    if (!s->txStarted) {
        posixline::FlushOutput(s->fd);
        return;
    }
    // Every chunk queued so far is stale from here on: the transmit thread drops it unwritten,
    // also if this wait gives up first. That thread never waits for the main thread (its error
    // reports are queued), so this wait cannot meet a report waiting for us.
    ++s->purges;
    Wake(s->txWake);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(PurgeBoundMs);
    for (;;) {
        {
            std::lock_guard<std::mutex> l(s->writeLock);
            posixline::FlushOutput(s->fd);
        }
        std::unique_lock<std::mutex> l(s->counterLock);
        // Woken as soon as the count reaches 0; the driver is purged again each millisecond in
        // case a write was in progress.
        if (s->transEmptied.wait_for(l, std::chrono::milliseconds(1),
                                     [&s] { return s->transBytes == 0 || !s->txRunning; }))
            break;
        if (std::chrono::steady_clock::now() >= deadline) {
            qCWarning(lcSerial) << "purge: the transmit thread still holds" << s->transBytes
                                << "bytes";
            break;
        }
    }
}

int TCustomCommX::OutputQueue() const {
    return FSession ? posixline::OutputQueue(FSession->fd) : 0;
}

void TCustomCommX::PurgeReceive() {
    auto s = FSession;
    if (!s)
        return;
    s->bytesPurged += posixline::InputQueue(s->fd);
    posixline::FlushInput(s->fd);
}

void TCustomCommX::SetRTS(bool on) {
    if (FSession)
        posixline::SetModemLine(FSession->fd, true, on);
}

void TCustomCommX::SetDTR(bool on) {
    if (FSession)
        posixline::SetModemLine(FSession->fd, false, on);
}

void TCustomCommX::ReportLineErrors() {
    auto s = FSession;
    if (!s)
        return;
    int bits = s->TakeErrorBits(s->fd);
    if (bits != 0)
        DoError(bits);
}

void TCustomCommX::DoReceive() {
    if (!FSession)
        return;
    if (!OnReceive) {
        qCDebug(lcSerial) << "receive event without a handler";
        return;
    }
    int n = ReceiveCount();
    if (n != 0)
        OnReceive(this, n);
}

void TCustomCommX::DoBreak() {
    if (FSession && OnBreak)
        OnBreak(this);
}

void TCustomCommX::DoError(int bits) {
    if (FSession && OnError)
        OnError(this, bits);
}

// Writes the control block with one field changed; a refused block leaves the image as the
// driver still has it.
template <typename Field, typename Value>
static void ApplyField(Session& s, Field posixline::ControlBlock::*field, Value value,
                       const char* failureText) {
    const Field old = s.control.*field;
    s.control.*field = static_cast<Field>(value);
    if (!posixline::WriteControl(s.fd, s.control)) {
        s.control.*field = old;
        throw ECommError(failureText);
    }
}

void TCustomCommX::ApplyBitRate() {
    if (FSession)
        ApplyField(*FSession, &posixline::ControlBlock::baud, FBitRate, commtext::BitRate);
}

void TCustomCommX::ApplyCharSize() {
    if (FSession)
        ApplyField(*FSession, &posixline::ControlBlock::byteSize, FCharSize, commtext::CharSize);
}

void TCustomCommX::ApplyParityBit() {
    if (FSession && FParityBit >= cpbNone && FParityBit <= cpbEven)
        ApplyField(*FSession, &posixline::ControlBlock::parity, static_cast<int>(FParityBit),
                   commtext::Parity);
}

void TCustomCommX::ApplyStopBit() {
    if (FSession && FStopBit >= csb1 && FStopBit <= csb2)
        ApplyField(*FSession, &posixline::ControlBlock::stopBits, static_cast<int>(FStopBit),
                   commtext::StopBit);
}

void TCustomCommX::ApplyFlowCtrl() {
    auto s = FSession;
    if (!s)
        return;
    const posixline::ControlBlock old = s->control;
    s->control.flags = FlowCtrlFlags(FFlowCtrl);
    s->control.xonLim = FlowThreshold();
    s->control.xoffLim = FlowThreshold();
    if (!posixline::WriteControl(s->fd, s->control)) {
        s->control = old;
        throw ECommError(commtext::FlowCtrl);
    }
    s->flowCtrl = FFlowCtrl;
}

void TCustomCommX::ApplyTimeouts() {
    // Reads and writes are timed by this component itself; only the write limit is shared.
    if (FSession)
        FSession->timeOutTrans = FTimeOutTrans;
}

void TCustomCommX::ApplyXonChar() {
    if (FSession)
        ApplyField(*FSession, &posixline::ControlBlock::xonChar, FXonChar, commtext::XonChar);
}

void TCustomCommX::ApplyXoffChar() {
    if (FSession)
        ApplyField(*FSession, &posixline::ControlBlock::xoffChar, FXoffChar, commtext::XoffChar);
}

void TCustomCommX::ApplyBufLen() {
    // The kernel sizes its own queues; only sizes that cannot work are refused.
    if (FSession && (FBufLenReceive <= 0 || FBufLenTrans <= 0))
        throw ECommError(commtext::BufLen);
}

void TCustomCommX::SetPortName(const QString& value) {
    FPortName = value;
    if (FSession) {
        Close();
        Open();
    }
}

void TCustomCommX::SetBitRate(int value) {
    FBitRate = value;
    if (FSession) {
        ApplyBitRate();
        if (FSession->txStarted)
            FSession->charTime = CharTimeFor(FBitRate);
    }
}

void TCustomCommX::SetCharSize(int value) {
    FCharSize = value;
    ApplyCharSize();
}

void TCustomCommX::SetParityBit(TCommParityBits value) {
    FParityBit = value;
    ApplyParityBit();
}

void TCustomCommX::SetStopBit(TCommStopBits value) {
    FStopBit = value;
    ApplyStopBit();
}

void TCustomCommX::SetFlowCtrl(TCommFlowCtrls value) {
    FFlowCtrl = value;
    ApplyFlowCtrl();
}

void TCustomCommX::SetTimeOutTrans(int ms) {
    FTimeOutTrans = ms;
    ApplyTimeouts();
}

void TCustomCommX::SetTimeOutReceive(int ms) {
    FTimeOutReceive = ms;
    ApplyTimeouts();
}

void TCustomCommX::SetXonChar(char value) {
    FXonChar = value;
    ApplyXonChar();
}

void TCustomCommX::SetXoffChar(char value) {
    FXoffChar = value;
    ApplyXoffChar();
}

void TCustomCommX::SetBufLenTrans(int value) {
    FBufLenTrans = value;
    ApplyBufLen();
}

void TCustomCommX::SetBufLenReceive(int value) {
    FBufLenReceive = value;
    ApplyBufLen();
    ApplyFlowCtrl();
}

} // namespace qmv
