// Download time and CPU share of a full logger download at the instrument's line speed, against
// the protocol's own floor: the prescribed waits plus the bytes on the line that no wait covers.
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
    // TYPE reply wait, one request wait, one wait of 100 ms after every ACK (the next block or
    // the EOT arrives during it), and the bytes sent by the program (TYPE, GET, ten ACKs).
    const double floorMs = qmv::ReplyWaitMs + qmv::RequestWaitMs + blocks * qmv::NextBlockWaitMs +
                           (6 + 6 + blocks + 1) * byteMs;
    // The serial component's own fixed pauses: 100 ms when its threads start, 100 + 200 ms when
    // it closes.
    const double portMs = 100 + 300;
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
        std::printf("run %d: result %d, %d records, wall %.0f ms; protocol floor %.0f ms, ratio "
                    "%.3f; with the port's open and close pauses %.0f ms, ratio %.3f; cpu %.0f ms "
                    "(%.1f %% of wall)\n",
                    i + 1, result, download.DownloadCount(), wallMs, floorMs, wallMs / floorMs,
                    floorMs + portMs, wallMs / (floorMs + portMs), cpuMs, 100.0 * cpuMs / wallMs);
    }
    return 0;
}
