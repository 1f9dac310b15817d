#include "dtlog_sink.h"

#include <algorithm>
#include <string>

namespace tessavo::cli {

void DtLogSink::Consume(const ItemView& item) {
    if (havePrevious_ && previousShown_ && !item.dtlog.empty()) {
        const std::string prefix =
            std::to_string(previousIndex_) + '\t' + clock_.Format(previousTime_) + '\t';
        auto line = item.dtlog.begin();
        while (line != item.dtlog.end()) {
            const auto end = std::find(line, item.dtlog.end(), uint8_t{'\n'});
            out_ << prefix;
            out_.write(reinterpret_cast<const char*>(&*line), end - line);
            out_ << '\n';  // a text cut at the block's capacity still ends its last line
            line = end == item.dtlog.end() ? end : end + 1;
        }
    }
    havePrevious_ = true;
    previousShown_ = filter_.Accepts(item);
    previousIndex_ = item.index;
    previousTime_ = item.time;
}

void DtLogSink::Finish(const RunStats&) {
    out_.flush();
}

}  // namespace tessavo::cli
