#include "serial/posixline.h"

// The kernel's own terminal structures; <termios.h> must not be included in this file.
#include <asm/termbits.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qmv::posixline {

namespace {

// Pseudo-terminals and some adapters refuse modem-line and counter requests; that is not a fault.
bool Unsupported(int err) {
    return err == ENOTTY || err == EINVAL;
}

} // namespace

static_assert(sizeof(termios2) <= sizeof(SavedSettings::bytes), "termios2 does not fit");

int OpenExclusive(const QByteArray& path, SavedSettings& saved) {
    int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const auto fail = [fd](int err) {
        ::close(fd);
        errno = err;
        return -1;
    };
    struct termios2 t;
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return fail(errno);
    std::memcpy(saved.bytes, &t, sizeof t);
    saved.valid = true;
    // A program that locks the line (as terminal programs do) is using it even where the kernel
    // would let a second one in; root also passes TIOCEXCL, but not the lock.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return fail(EBUSY);
    // Keep other programs off the line while a command runs; Release gives it back.
    ::ioctl(fd, TIOCEXCL);
    return fd;
}

void Release(int fd, const SavedSettings& saved) {
    if (fd < 0)
        return;
    if (saved.valid) {
        struct termios2 t;
        std::memcpy(&t, saved.bytes, sizeof t);
        ::ioctl(fd, TCSETS2, &t);
    }
    ::ioctl(fd, TIOCNXCL);
    // The lock belongs to the open file, which the worker threads' duplicates keep open until
    // they end: closing this descriptor alone would leave the line locked for a while.
    ::flock(fd, LOCK_UN);
    ::close(fd);
}

bool ReadControl(int fd, ControlBlock& cb) {
    struct termios2 t;
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return false;
    cb.baud = static_cast<int>(t.c_ospeed);
    switch (t.c_cflag & CSIZE) {
    case CS5:
        cb.byteSize = 5;
        break;
    case CS6:
        cb.byteSize = 6;
        break;
    case CS7:
        cb.byteSize = 7;
        break;
    default:
        cb.byteSize = 8;
        break;
    }
    cb.parity = (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? 1 : 2) : 0;
    cb.stopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
    cb.flags = 0x0013;
    if (t.c_cflag & CRTSCTS)
        cb.flags |= 0x2004;
    else
        cb.flags |= 0x1000;
    if (t.c_iflag & IXON)
        cb.flags |= 0x0100;
    if (t.c_iflag & IXOFF)
        cb.flags |= 0x0200;
    cb.xonChar = static_cast<char>(t.c_cc[VSTART]);
    cb.xoffChar = static_cast<char>(t.c_cc[VSTOP]);
    return true;
}

bool WriteControl(int fd, const ControlBlock& cb) {
    if (cb.baud <= 0 || cb.byteSize < 5 || cb.byteSize > 8)
        return false;
    struct termios2 t;
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return false;

    // Binary mode: bytes pass unchanged in both directions, reads never block.
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                   IXANY | IGNPAR);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;

    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = static_cast<speed_t>(cb.baud);
    t.c_ospeed = static_cast<speed_t>(cb.baud);

    t.c_cflag &= ~CSIZE;
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= sizes[cb.byteSize - 5];

    t.c_cflag &= ~(PARENB | PARODD);
    if (cb.parity == 1)
        t.c_cflag |= PARENB | PARODD;
    else if (cb.parity == 2)
        t.c_cflag |= PARENB;
    if ((cb.flags & 0x0002) && cb.parity != 0)
        t.c_iflag |= INPCK;
    else
        t.c_iflag &= ~INPCK;

    // This line discipline has no one-and-a-half; CSTOPB gives it on 5-bit frames.
    if (cb.stopBits == 0)
        t.c_cflag &= ~CSTOPB;
    else
        t.c_cflag |= CSTOPB;

    // Output waiting for DSR has no counterpart here; only CTS and XON/XOFF are honoured.
    if ((cb.flags & 0x0004) || (cb.flags & 0x3000) == 0x2000)
        t.c_cflag |= CRTSCTS;
    else
        t.c_cflag &= ~CRTSCTS;
    if (cb.flags & 0x0100)
        t.c_iflag |= IXON;
    if (cb.flags & 0x0200)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(cb.xonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(cb.xoffChar);

    if (::ioctl(fd, TCSETS2, &t) != 0)
        return false;

    if (!SetModemLine(fd, false, (cb.flags & 0x0030) != 0))
        return false;
    return SetModemLine(fd, true, (cb.flags & 0x3000) != 0);
}

bool SetModemLine(int fd, bool rts, bool on) {
    int bits = rts ? TIOCM_RTS : TIOCM_DTR;
    if (::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0)
        return true;
    return Unsupported(errno);
}

int InputQueue(int fd) {
    int n = 0;
    if (::ioctl(fd, FIONREAD, &n) != 0)
        return 0;
    return n;
}

bool FlushInput(int fd) {
    return ::ioctl(fd, TCFLSH, TCIFLUSH) == 0;
}

int OutputQueue(int fd) {
    int n = 0;
    if (::ioctl(fd, TIOCOUTQ, &n) != 0)
        return 0;
    return n;
}

bool FlushOutput(int fd) {
    int pending = 0;
    if (::ioctl(fd, TIOCOUTQ, &pending) == 0 && pending <= 0)
        return true;
    return ::ioctl(fd, TCFLSH, TCOFLUSH) == 0;
}

LineCounters ReadCounters(int fd) {
    LineCounters c;
    struct serial_icounter_struct ic {};
    if (::ioctl(fd, TIOCGICOUNT, &ic) != 0)
        return c;
    c.valid = true;
    c.frame = static_cast<unsigned>(ic.frame);
    c.overrun = static_cast<unsigned>(ic.overrun + ic.buf_overrun);
    c.parity = static_cast<unsigned>(ic.parity);
    c.brk = static_cast<unsigned>(ic.brk);
    return c;
}

} // namespace qmv::posixline
