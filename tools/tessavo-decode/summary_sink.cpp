#include "summary_sink.h"

#include <cstdio>
#include <string>

#include "item_time.h"
#include "text_format.h"

namespace tessavo::cli {
namespace {

bool Earlier(const ItemTime& a, const ItemTime& b) {
    return a.seconds != b.seconds ? a.seconds < b.seconds : a.microseconds < b.microseconds;
}

std::string Rate(double count, double seconds) {
    if (seconds <= 0) return "-";
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", count / seconds);
    return text;
}

}  // namespace

void SummarySink::Consume(const ItemView& item) {
    ++items_;
    if (!first_ || Earlier(item.time, *first_)) first_ = item.time;
    if (!last_ || Earlier(*last_, item.time)) last_ = item.time;
    ++byMsgCode_[item.msgCode];
    if (item.identity.logCode) {
        ++byLogCode_[*item.identity.logCode];
    } else if (item.identity.command) {
        ++byCommand_[*item.identity.command];
    } else {
        ++unidentified_;
    }
}

void SummarySink::Finish(const RunStats& stats) {
    const FrameCounts& frames = stats.frames;
    out_ << "input bytes            " << stats.inputBytes << '\n';
    out_ << "report items           " << items_ << '\n';
    out_ << "frames (own scan)      " << frames.frames << " terminated by 0x7E, "
         << frames.crcFailures << " with a bad CRC, " << frames.compactFrames
         << " compact (0xFFFE, CRC not checked), " << frames.emptyFrames << " empty, "
         << frames.oversized << " over 7168 bytes, " << frames.trailingBytes
         << " bytes after the last 0x7E\n";
    out_ << "not reported           frames the library ignores, throttles or does not support"
            " yield no item and are not counted separately\n";
    if (stats.decodeFailures != 0) {
        out_ << "decode failures        " << stats.decodeFailures << '\n';
    }
    if (first_ && last_) {
        double span = SecondsBetween(*first_, *last_);
        char seconds[64];
        std::snprintf(seconds, sizeof seconds, "%.6f", span);
        out_ << "first item time        " << FormatItemTime(*first_) << '\n';
        out_ << "last item time         " << FormatItemTime(*last_) << '\n';
        out_ << "time span              " << seconds << " s, "
             << Rate(static_cast<double>(items_), span) << " items per capture second\n";
    }
    char wall[64];
    std::snprintf(wall, sizeof wall, "%.3f", stats.wallSeconds);
    out_ << "run                    " << wall << " s, "
         << Rate(static_cast<double>(items_), stats.wallSeconds) << " items/s, "
         << Rate(static_cast<double>(stats.inputBytes), stats.wallSeconds) << " bytes/s\n";

    out_ << "\nitems by log code\n";
    for (const auto& [code, count] : byLogCode_) {
        out_ << "  " << HexNumber(code, 4) << "  " << count << '\n';
    }
    for (const auto& [code, count] : byCommand_) {
        out_ << "  cmd:" << HexNumber(code, 2) << "  " << count << '\n';
    }
    if (unidentified_ != 0) out_ << "  unknown  " << unidentified_ << '\n';
    out_ << "\nitems by message code\n";
    for (const auto& [code, count] : byMsgCode_) {
        out_ << "  " << HexNumber(code, 8) << "  " << count << '\n';
    }
    out_.flush();
}

}  // namespace tessavo::cli
