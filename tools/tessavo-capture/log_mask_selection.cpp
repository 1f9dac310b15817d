#include "log_mask_selection.h"

#include <algorithm>

#include "item_filter.h"
#include "routed_log_codes.h"

namespace tessavo::capture {
namespace {

std::optional<uint16_t> ParseOneCode(const std::string& text, std::string& error) {
    auto codes = cli::ParseLogCodes(text, error);
    if (!codes || codes->size() != 1) {
        if (error.empty()) error = "not a log code: '" + text + "'";
        return std::nullopt;
    }
    return codes->front();
}

}  // namespace

CodeSelection DefaultCodeSelection() {
    CodeSelection selection;
    for (uint16_t code : kRoutedLogCodes) {
        if (cli::EquipmentOf(code) == cli::kEquipmentCdma) selection.codes.push_back(code);
    }
    return selection;
}

std::optional<CodeSelection> ParseCodeSelection(const std::string& text, std::string& error) {
    CodeSelection selection;
    if (text == "all") {
        selection.all = true;
        return selection;
    }
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        const std::string token = text.substr(start, comma - start);
        start = comma + 1;
        const size_t dash = token.find('-');
        auto first = ParseOneCode(token.substr(0, dash), error);
        if (!first) return std::nullopt;
        uint16_t last = *first;
        if (dash != std::string::npos) {
            auto end = ParseOneCode(token.substr(dash + 1), error);
            if (!end) return std::nullopt;
            last = *end;
            if (last < *first) {
                error = "the range '" + token + "' ends before it starts";
                return std::nullopt;
            }
        }
        for (uint32_t code = *first; code <= last; ++code) {
            if (cli::EquipmentOf(static_cast<uint16_t>(code)) != cli::kEquipmentCdma) {
                error = "log code in '" + token + "' is outside 0x1000-0x1FFF, the 1x/EV-DO codes";
                return std::nullopt;
            }
            selection.codes.push_back(static_cast<uint16_t>(code));
        }
    }
    std::sort(selection.codes.begin(), selection.codes.end());
    selection.codes.erase(std::unique(selection.codes.begin(), selection.codes.end()),
                          selection.codes.end());
    return selection;
}

cli::LogMask BuildLogMask(const CodeSelection& selection, std::optional<uint32_t> lastItem) {
    uint32_t last = cli::kMaxLastItem;
    if (lastItem) {
        last = std::min(*lastItem, cli::kMaxLastItem);
    } else if (!selection.all) {
        last = selection.codes.empty() ? 0 : cli::ItemOf(selection.codes.back());
    }
    cli::LogMask mask = cli::EmptyLogMask(cli::kEquipmentCdma, last);
    if (selection.all) {
        for (uint32_t item = 0; item <= last; ++item) mask.Enable(item);
    } else {
        for (uint16_t code : selection.codes) mask.Enable(cli::ItemOf(code));
    }
    return mask;
}

}  // namespace tessavo::capture
