// Progress bar on standard error for long inputs: bytes done, percent, items per second and
// time left. Drawn only when standard error is a terminal and --quiet is not given.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace tessavo::cli {

// One bar line without the carriage return; `totalBytes` 0 means unknown (a pipe).
std::string FormatProgressLine(uint64_t bytesDone, uint64_t totalBytes, uint64_t items,
                               double elapsedSeconds);

class ProgressMeter {
  public:
    ProgressMeter(std::ostream& err, bool enabled, uint64_t totalBytes);

    // Redraws at most ten times a second.
    void Update(uint64_t bytesDone, uint64_t items);
    // Erases the bar so that later messages start on a clean line.
    void Finish();

  private:
    using Clock = std::chrono::steady_clock;

    std::ostream& err_;
    bool enabled_;
    uint64_t totalBytes_;
    Clock::time_point start_;
    Clock::time_point lastDraw_;
    bool drawn_ = false;
};

}  // namespace tessavo::cli
