// The few serial-line operations the component needs, on a POSIX terminal device. Kept apart
// because the kernel's termios2 (needed for rates such as 256000 baud) cannot share a file with
// the C library's <termios.h>.
#pragma once

#include <QByteArray>

namespace qmv::posixline {

// The component's image of the line settings. flags uses the bits of the flow-control word:
// 0x0004 output waits for CTS, 0x0008 output waits for DSR, 0x0030 DTR (0x10 on, 0x20
// handshake), 0x0100 XON/XOFF on output, 0x0200 XON/XOFF on input, 0x3000 RTS (0x1000 on,
// 0x2000 handshake).
struct ControlBlock {
    int baud = 9600;
    int byteSize = 8;
    int parity = 0;   // 0 none, 1 odd, 2 even
    int stopBits = 0; // 0 one, 1 one and a half, 2 two
    unsigned flags = 0x1013;
    int xonLim = 512;
    int xoffLim = 512;
    char xonChar = 17;
    char xoffChar = 19;
};

// Line error and break counters of the driver; valid is false where the device keeps none
// (a pseudo-terminal).
struct LineCounters {
    bool valid = false;
    unsigned frame = 0;
    unsigned overrun = 0;
    unsigned parity = 0;
    unsigned brk = 0;
};

// The terminal settings a device had when it was opened, kept to be given back at the release.
// Opaque here: the kernel's structure cannot be declared beside <termios.h>.
struct SavedSettings {
    alignas(8) unsigned char bytes[64] = {};
    bool valid = false;
};

// Opens a terminal device for reading and writing, non-blocking, exclusive and locked, and keeps
// its settings in saved; -1 on failure (including a path that is not a terminal) with errno set,
// EBUSY when another program holds the lock.
int OpenExclusive(const QByteArray& path, SavedSettings& saved);
// Gives the device back as it was found: its saved settings, shared use, its lock; then closes
// the descriptor.
void Release(int fd, const SavedSettings& saved);

bool ReadControl(int fd, ControlBlock& cb);
// Writes the whole block: raw mode, rate, framing, flow control, DTR and RTS. False when the
// driver refuses it.
bool WriteControl(int fd, const ControlBlock& cb);

// Raises or lowers a modem line; lines a device does not have are not an error.
bool SetModemLine(int fd, bool rts, bool on);

int InputQueue(int fd);
// Bytes written and not yet sent on the line; 0 where the device cannot tell.
int OutputQueue(int fd);
bool FlushInput(int fd);
// Drops output the driver still holds. Where it reports none, nothing is flushed: a
// pseudo-terminal reports none ever, and flushing it would take back bytes already on their way
// to the far end, which no real line does.
bool FlushOutput(int fd);
LineCounters ReadCounters(int fd);

} // namespace qmv::posixline
