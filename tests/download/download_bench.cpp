// Download time and CPU share of a full logger download at the instrument's line speed, against
// the waits the protocol prescribes: the serial port's open and close pauses, the reply waits, the
// waits after each acknowledgement, and the line time of the bytes the program sends (the device's
// bytes arrive during those waits). Everything above that is the program's own overhead.
// Run by hand: qmvdownload_bench [RUNS]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <sys/resource.h>

#include "device/download.h"
#include "tests/device/simulator.h"

namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
    // 250 records and the end marker: 8283 bytes in nine 1024-byte blocks.
    const int blocks = 9;
    const double byteMs = 10.0 * 1000.0 / 256000.0; // one start, eight data, one stop bit
    // The serial component's fixed pauses: 100 ms when its threads start, 100 + 200 ms when it
    // closes.
    const double portMs = 100 + 300;
    // The TYPE reply wait and one request wait.
    const double replyMs = qmv::ReplyWaitMs + qmv::RequestWaitMs;
    // One wait of 100 ms after every block's ACK (the next block or the EOT arrives during it).
    const double ackMs = blocks * qmv::NextBlockWaitMs;
    // The bytes the program sends: TYPE, the request, ten ACKs.
    const double lineMs = (6 + 6 + blocks + 1) * byteMs;
    const double prescribedMs = portMs + replyMs + ackMs + lineMs;
    for (int i = 0; i < runs; ++i) {
        qmv::test::Simulator sim;
        if (!sim.Start({"--generate", "250"})) {
            std::fprintf(stderr, "simulator did not start\n");
            return 1;
        }
        qmv::DeviceLink link;
        link.FindPort();
        qmv::RecordDownload download(link);
        QElapsedTimer clock;
        const double cpu0 = CpuSeconds();
        clock.start();
        const int result = download.DownloadRecords(0);
        const double wallMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        const double cpuMs = (CpuSeconds() - cpu0) * 1000.0;
        const double overMs = wallMs - prescribedMs;
        std::printf("run %d: result %d, %d records; measured %.0f ms, prescribed waits %.0f ms "
                    "(port pauses %.0f, reply waits %.0f, after the ACKs %.0f, line time %.1f); "
                    "overhead %.0f ms = %.1f %% (%s 3 %%); cpu %.0f ms (%.1f %% of measured)\n",
                    i + 1, result, download.DownloadCount(), wallMs, prescribedMs, portMs, replyMs,
                    ackMs, lineMs, overMs, 100.0 * overMs / prescribedMs,
                    overMs <= 0.03 * prescribedMs ? "within" : "beyond", cpuMs,
                    100.0 * cpuMs / wallMs);
    }
    return 0;
}
