#include "progress_meter.h"

#include <cstdio>

namespace tessavo::cli {
namespace {

constexpr int kBarWidth = 24;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

std::string Mebibytes(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

}  // namespace

std::string FormatProgressLine(uint64_t bytesDone, uint64_t totalBytes, uint64_t items,
                               double elapsedSeconds) {
    std::string line;
    char text[64];
    if (totalBytes > 0) {
        uint64_t done = bytesDone < totalBytes ? bytesDone : totalBytes;
        double fraction = static_cast<double>(done) / static_cast<double>(totalBytes);
        int filled = static_cast<int>(fraction * kBarWidth);
        line += '[';
        line.append(static_cast<size_t>(filled), '#');
        line.append(static_cast<size_t>(kBarWidth - filled), '-');
        std::snprintf(text, sizeof text, "] %3d%% ", static_cast<int>(fraction * 100));
        line += text;
        line += Mebibytes(done) + " / " + Mebibytes(totalBytes);
    } else {
        line += Mebibytes(bytesDone);
    }
    if (elapsedSeconds > 0) {
        std::snprintf(text, sizeof text, "  %.0f items/s",
                      static_cast<double>(items) / elapsedSeconds);
        line += text;
        if (totalBytes > 0 && bytesDone > 0 && bytesDone < totalBytes) {
            double left = elapsedSeconds * static_cast<double>(totalBytes - bytesDone) /
                          static_cast<double>(bytesDone);
            long seconds = static_cast<long>(left + 0.5);
            std::snprintf(text, sizeof text, "  %ld:%02ld left", seconds / 60, seconds % 60);
            line += text;
        }
    }
    return line;
}

ProgressMeter::ProgressMeter(std::ostream& err, bool enabled, uint64_t totalBytes)
    : err_(err),
      enabled_(enabled),
      totalBytes_(totalBytes),
      start_(Clock::now()),
      lastDraw_(start_) {}

void ProgressMeter::Update(uint64_t bytesDone, uint64_t items) {
    if (!enabled_) return;
    Clock::time_point now = Clock::now();
    if (drawn_ && now - lastDraw_ < kRedrawInterval) return;
    lastDraw_ = now;
    drawn_ = true;
    double elapsed = std::chrono::duration<double>(now - start_).count();
    // \r and erase-to-end-of-line keep the bar on one line as it shrinks and grows.
    err_ << '\r' << FormatProgressLine(bytesDone, totalBytes_, items, elapsed) << "\x1b[K"
         << std::flush;
}

void ProgressMeter::Finish() {
    if (!enabled_ || !drawn_) return;
    err_ << "\r\x1b[K" << std::flush;
    drawn_ = false;
}

}  // namespace tessavo::cli
