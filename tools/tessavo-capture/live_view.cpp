#include "live_view.h"

#include <cstdio>

#include "message_names.h"
#include "param_catalogue.h"

namespace tessavo::capture {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kScreenInterval = 1.0;
constexpr double kStatusInterval = 10.0;
constexpr size_t kEventsShown = 10;
constexpr uint32_t kSignallingFlag = 0x7F010014;  // set on every item carrying a message

// The screen's lines: a title and the parameters it shows, by ID (the catalogue names them).
struct LiveLine {
    const char* title;
    std::initializer_list<uint32_t> ids;
};
const LiveLine kLines[] = {
    {"1x    state/channel", {0x7F01C102, 0x7F010012}},
    {"1x    SID/NID", {0x7F010301, 0x7F010302}},
    {"1x    best pilot PN, Ec/Io", {0x7F01000B, 0x7F01000D}},
    {"1x    Rx/Tx power", {0x7F010001, 0x7F010003}},
    {"1x    FER", {0x7F010006}},
    {"EV-DO state", {0x7F018302}},
    {"EV-DO serving PN", {0x7F01800F}},
    {"EV-DO SINR, DRC", {0x7F018007, 0x7F018009, 0x7F01800A}},
    {"EV-DO fwd/rev rate", {0x7F018102, 0x7F018104}},
};

std::string Rate(double count, double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds > 0 ? count / seconds : 0.0);
    return text;
}

}  // namespace

LiveView::LiveView(std::ostream& out, bool screen, std::string portName)
    : out_(out),
      screen_(screen),
      portName_(std::move(portName)),
      start_(Clock::now()),
      lastDraw_(start_) {}

void LiveView::Consume(const cli::ItemView& item) {
    bool signalling = false;
    for (const DecodeParam& param : item.currentParams) {
        values_[param.id] = param;
        signalling = signalling || param.id == kSignallingFlag;
    }
    if (!signalling || !item.identity.logCode) return;
    char code[48];
    std::snprintf(code, sizeof code, "log 0x%04X message 0x%04X", *item.identity.logCode,
                  static_cast<unsigned>(item.msgCode & 0xFFFF));
    std::string text = code;
    const std::string name = cli::MessageNameOf(item.msgCode);
    if (!name.empty()) text.append(": ").append(name);
    events_.push_front(std::move(text));
    if (events_.size() > kEventsShown) events_.pop_back();
}

std::string LiveView::Value(uint32_t id) const {
    auto found = values_.find(id);
    if (found == values_.end()) return "-";
    const DecodeParam& param = found->second;
    const cli::ParamInfo* info = cli::FindParam(id);
    char text[64];
    if (param.scale > 1) {
        std::snprintf(text, sizeof text, "%.2f", static_cast<double>(param.value) / param.scale);
    } else {
        std::snprintf(text, sizeof text, "%d", param.value);
    }
    std::string shown = text;
    if (info != nullptr) {
        std::string_view label = cli::ValueLabelOf(*info, param.value);
        if (!label.empty()) {
            shown = std::string(label);
        } else if (!info->unit.empty()) {
            shown.append(" ").append(info->unit);
        }
    }
    return shown;
}

std::string LiveView::Render(const PortCounters& counters, double elapsed, double seconds) const {
    // Built by appending: one piece at a time is what a screen of short lines needs.
    std::string text;
    text.append("tessavo-capture  ")
        .append(portName_)
        .append("  ")
        .append(Rate(elapsed, 1))
        .append(" s\n  ");
    text.append(Rate(static_cast<double>(counters.bytes - lastCounters_.bytes), seconds))
        .append(" B/s  ");
    text.append(Rate(static_cast<double>(counters.frames.frames - lastCounters_.frames.frames),
                     seconds))
        .append(" frames/s  ");
    text.append(Rate(static_cast<double>(counters.items - lastCounters_.items), seconds))
        .append(" items/s  ");
    text.append(std::to_string(counters.frames.crcFailures)).append(" CRC failures\n\n");
    for (const LiveLine& line : kLines) {
        text.append("  ").append(line.title).append(":");
        for (uint32_t id : line.ids) text.append("  ").append(Value(id));
        text.push_back('\n');
    }
    text.append("\n  last signalling messages:\n");
    for (const std::string& event : events_) text.append("    ").append(event).push_back('\n');
    return text;
}

std::string LiveView::StatusLine(const PortCounters& counters, double elapsed) const {
    std::string text = "tessavo-capture: ";
    text.append(Rate(elapsed, 1))
        .append(" s, ")
        .append(std::to_string(counters.bytes))
        .append(" bytes, ");
    text.append(std::to_string(counters.frames.frames)).append(" frames, ");
    text.append(std::to_string(counters.frames.crcFailures)).append(" CRC failures, ");
    text.append(std::to_string(counters.items)).append(" items\n");
    return text;
}

void LiveView::Tick(const PortCounters& counters, bool force) {
    const auto now = Clock::now();
    const double since = std::chrono::duration<double>(now - lastDraw_).count();
    if (!force && since < (screen_ ? kScreenInterval : kStatusInterval)) return;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    // Home the cursor and clear the screen, then draw.
    if (screen_) {
        out_ << "\x1b[H\x1b[2J" << Render(counters, elapsed, since);
    } else {
        out_ << StatusLine(counters, elapsed);
    }
    out_.flush();
    lastDraw_ = now;
    lastCounters_ = counters;
}

}  // namespace tessavo::capture
