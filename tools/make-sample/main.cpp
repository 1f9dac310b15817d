// tessavo-make-sample: writes the bundled drive-test capture.
//
//   tessavo-make-sample samples/drive_test.bin
//
// The output depends on nothing but this program: the same bytes on every run and host.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "drive_test.h"
#include "drive_track.h"

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '-') {
        std::cerr << "Usage: tessavo-make-sample OUTPUT\n"
                     "Writes the synthetic drive-test capture (raw DIAG frames) to OUTPUT and the\n"
                     "car's GPS track beside it (OUTPUT with the extension .gpx).\n";
        return 2;
    }
    const tessavo::sample::DriveTestCapture capture = tessavo::sample::MakeDriveTest();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(capture.bytes.data()),
              static_cast<std::streamsize>(capture.bytes.size()));
    out.close();
    if (!out) {
        std::cerr << "tessavo-make-sample: cannot write " << argv[1] << '\n';
        return 1;
    }

    // The GPS track beside the capture: OUTPUT with its extension replaced by .gpx.
    std::string trackPath = argv[1];
    const size_t dot = trackPath.find_last_of('.');
    const size_t slash = trackPath.find_last_of('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        trackPath.erase(dot);
    }
    trackPath += ".gpx";
    std::ofstream track(trackPath, std::ios::trunc);
    track << tessavo::sample::DriveTrackGpx();
    track.close();
    if (!track) {
        std::cerr << "tessavo-make-sample: cannot write " << trackPath << '\n';
        return 1;
    }

    const tessavo::sample::SampleLedger& l = capture.ledger;
    std::printf("%s: %zu bytes, %.1f s\n", argv[1], capture.bytes.size(),
                static_cast<double>(l.lastTicks - l.firstTicks) / 800.0);
    for (const auto& [code, t] : l.logs) {
        std::printf("  log 0x%04X  frames %4d  sampled out %3d  items %4d\n", code, t.frames,
                    t.throttled, (t.frames - t.throttled) * t.itemsPerFrame);
    }
    for (const auto& [code, t] : l.commands) {
        std::printf("  cmd 0x%02X    frames %4d\n", code, t.frames);
    }
    std::printf("  damaged frames %d, junk runs %d, bare 0x7E %d\n", l.damagedFrames, l.junkRuns,
                l.bareFlags);
    std::printf("events (s from the start):\n");
    for (const tessavo::sample::SampleEvent& e : l.events) {
        std::printf("  %7.3f  %-20s %s\n", static_cast<double>(e.ms) / 1000.0, e.name.c_str(),
                    e.details.c_str());
    }
    return 0;
}
