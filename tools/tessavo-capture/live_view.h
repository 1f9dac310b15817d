// What the capture shows while it runs. On a terminal (--live): a screen redrawn once a
// second with the port's rates and the handset's radio state. Elsewhere: one status line
// every 10 s on standard error.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <ostream>
#include <string>
#include <unordered_map>

#include "frame_scan.h"
#include "report_item_reader.h"

namespace tessavo::capture {

struct PortCounters {
    uint64_t bytes = 0;
    cli::FrameCounts frames;
    uint64_t items = 0;
};

class LiveView {
  public:
    LiveView(std::ostream& out, bool screen, std::string portName);

    // Notes the values the item sets and, for a signalling message, the message.
    void Consume(const cli::ItemView& item);
    // Redraws (or writes the status line) when its interval has passed, or now with `force`.
    void Tick(const PortCounters& counters, bool force = false);

    // The screen as text, for the counters' rates over `seconds` since the last redraw.
    std::string Render(const PortCounters& counters, double elapsed, double seconds) const;
    std::string StatusLine(const PortCounters& counters, double elapsed) const;

  private:
    std::string Value(uint32_t id) const;

    std::ostream& out_;
    bool screen_;
    std::string portName_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
    PortCounters lastCounters_;
    std::unordered_map<uint32_t, DecodeParam> values_;
    std::deque<std::string> events_;
};

}  // namespace tessavo::capture
