#include "summary_sink.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "drive_records.h"
#include "message_names.h"
#include "param_catalogue.h"
#include "text_format.h"
#include "value_text.h"

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

std::string Number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

// The radio values whose range the summary gives, by catalogue name.
constexpr std::array<std::string_view, SummarySink::kRangeCount> kRangeParams = {
    "rx_power",    "tx_power",     "best_pilot_ecio", "total_ecio",    "do_rx_power0",
    "do_tx_power", "do_best_sinr", "do_drc_rate",     "data_fwd_rate", "data_rev_rate"};

// Identities: each is the set of values of one or more parameters.
// Every decoder that publishes one is listed: the 1x pilot PN also comes from the System
// Parameters Message (its record, kSysParamsMsgId), the EV-DO channels and PNs also from the
// per-carrier values.
struct Identity {
    std::string_view label;
    std::array<std::string_view, 5> params;
};
constexpr std::array<Identity, SummarySink::kIdentityCount> kIdentities = {{
    {"ESN", {"esn"}},
    {"IMSI", {"imsi"}},
    {"SID", {"sid"}},
    {"NID", {"nid"}},
    {"BASE_ID", {"base_id"}},
    {"1x channels", {"cdma_channel"}},
    {"1x pilot PNs", {"best_pilot_pn", "ref_pilot_pn"}},
    {"EV-DO channels", {"do_channel", "c0_channel", "c1_channel", "c2_channel"}},
    {"EV-DO pilot PNs",
     {"do_serving_pn", "do_conn_pilot_pn", "c0_serving_pn", "c1_serving_pn", "c2_serving_pn"}},
}};
constexpr size_t kPilotPnIdentity = 6;

// The parameters of the tables above, looked up once: for each, the range or identity it
// feeds.
struct Watched {
    uint32_t id;
    bool range;    // else an identity
    size_t index;  // into the ranges or the identities
};
struct Lookup {
    std::array<uint32_t, SummarySink::kRangeCount> ranges{};
    std::vector<Watched> watched;
};
const Lookup& Ids() {
    static const Lookup lookup = [] {
        Lookup ids;
        for (size_t i = 0; i < kRangeParams.size(); ++i) {
            ids.ranges[i] = FindParamByName(kRangeParams[i])->id;
            ids.watched.push_back({ids.ranges[i], true, i});
        }
        for (size_t i = 0; i < kIdentities.size(); ++i) {
            for (std::string_view name : kIdentities[i].params) {
                if (!name.empty()) ids.watched.push_back({FindParamByName(name)->id, false, i});
            }
        }
        return ids;
    }();
    return lookup;
}

}  // namespace

void SummarySink::Consume(const ItemView& item) {
    ++items_;
    if (!first_ || Earlier(item.time, *first_)) first_ = item.time;
    if (!last_ || Earlier(*last_, item.time)) last_ = item.time;
    ++byMsgCode_[item.msgCode];
    if (item.identity.logCode) {
        byLogCode_.Add(*item.identity.logCode);
    } else if (item.identity.command) {
        ++byCommand_[*item.identity.command];
    } else {
        ++unidentified_;
    }
    const Lookup& ids = Ids();
    for (const DecodeParam& param : item.currentParams) {
        if (param.state != TESSAVO_STATE_FRESH) continue;
        for (const Watched& watched : ids.watched) {
            if (watched.id != param.id) continue;
            if (!watched.range) {
                const ShownValue shown = ShowValue(FindParam(param.id), param, item.currentParams);
                const bool number = shown.kind == ShownValue::Kind::kNumber;
                identities_[watched.index].insert({number ? shown.number : 0, ShownText(shown)});
                continue;
            }
            double value = param.scale > 1 ? double(param.value) / param.scale : param.value;
            Range& range = ranges_[watched.index];
            range.min = range.count == 0 ? value : std::min(range.min, value);
            range.max = range.count == 0 ? value : std::max(range.max, value);
            range.sum += value;
            ++range.count;
        }
    }
    for (const StructParamRecord& record : item.currentStructs) {
        if (record.id != kSysParamsMsgId || record.state != TESSAVO_STATE_FRESH ||
            record.payload.size() < kSysParamsPilotPnEnd) {
            continue;
        }
        const int64_t pn = SysParamsPilotPn(record.payload);
        identities_[kPilotPnIdentity].insert({pn, std::to_string(pn)});
    }
    analysis_.Consume(item);
}

void SummarySink::WriteNotReported(const RunStats& stats) {
    // A log code whose good frames yielded no item at all is one the library ignores or
    // does not support; one that yielded fewer items than frames was sampled (throttled).
    // Packed logs yield several items per frame and are not counted as missing.
    uint64_t ignored = 0;
    uint64_t throttled = 0;
    std::map<uint16_t, uint64_t> ignoredCodes;
    stats.frames.goodLogFrames.ForEach([&](uint16_t code, uint64_t frames) {
        const uint64_t items = stats.itemsByLogCode.Get(code);
        if (items == 0) {
            ignored += frames;
            ignoredCodes[code] = frames;
        } else if (items < frames) {
            throttled += frames - items;
        }
    });
    uint64_t commands = stats.frames.commandsAfterFirstLog;
    uint64_t unsupportedCommands =
        commands > stats.commandItems ? commands - stats.commandItems : 0;
    out_ << "\nframes without an item (own frame scan)\n";
    out_ << "  bad CRC                      " << stats.frames.crcFailures << '\n';
    out_ << "  ignored or unsupported code  " << ignored << " in " << ignoredCodes.size()
         << " log codes\n";
    out_ << "  throttled (sampled)          " << throttled << '\n';
    out_ << "  command before the first log " << stats.frames.commandsBeforeFirstLog << '\n';
    out_ << "  other commands without item  " << unsupportedCommands << '\n';
    out_ << "  over 7168 bytes              " << stats.frames.oversized << '\n';
    if (!ignoredCodes.empty()) {
        out_ << "  ignored log codes           ";
        for (const auto& [code, frames] : ignoredCodes) {
            out_ << ' ' << HexNumber(code, 4) << ':' << frames;
        }
        out_ << '\n';
    }
}

void SummarySink::Finish(const RunStats& stats) {
    const FrameCounts& frames = stats.frames;
    out_ << "input bytes            " << stats.inputBytes << '\n';
    for (const std::string& input : stats.inputFormats) {
        out_ << "input read as          " << input << '\n';
    }
    out_ << "report items           " << items_ << '\n';
    out_ << "frames (own scan)      " << frames.frames << " terminated by 0x7E, "
         << frames.crcFailures << " with a bad CRC, " << frames.compactFrames
         << " compact (0xFFFE, CRC not checked), " << frames.emptyFrames << " empty, "
         << frames.oversized << " over 7168 bytes, " << frames.trailingBytes
         << " bytes after the last 0x7E\n";
    if (stats.decodeFailures != 0) {
        out_ << "decode failures        " << stats.decodeFailures << '\n';
    }
    out_ << "library messages       " << stats.libraryMessages << " (written to standard error)\n";
    if (stats.stopSignal != 0) {
        out_ << "stopped early          by signal " << stats.stopSignal << '\n';
    }
    if (first_ && last_) {
        double span = SecondsBetween(*first_, *last_);
        char seconds[64];
        std::snprintf(seconds, sizeof seconds, "%.6f", span);
        out_ << "first item time        " << clock_.Format(*first_) << '\n';
        out_ << "last item time         " << clock_.Format(*last_) << '\n';
        out_ << "time span              " << seconds << " s, "
             << Rate(static_cast<double>(items_), span) << " items per capture second\n";
    }
    char wall[64];
    std::snprintf(wall, sizeof wall, "%.3f", stats.wallSeconds);
    out_ << "run                    " << wall << " s, "
         << Rate(static_cast<double>(items_), stats.wallSeconds) << " items/s, "
         << Rate(static_cast<double>(stats.inputBytes), stats.wallSeconds) << " bytes/s\n";

    out_ << "\nradio values (fresh values: min / mean / max, count)\n";
    if (std::all_of(ranges_.begin(), ranges_.end(),
                    [](const Range& range) { return range.count == 0; })) {
        out_ << "  no 1x/EV-DO radio measurements in this capture\n";
    }
    for (size_t i = 0; i < kRangeCount; ++i) {
        const Range& range = ranges_[i];
        if (range.count == 0) continue;
        const ParamInfo* info = FindParam(Ids().ranges[i]);
        out_ << "  " << info->name << std::string(18 - std::min<size_t>(17, info->name.size()), ' ')
             << Number(range.min) << " / " << Number(range.sum / double(range.count)) << " / "
             << Number(range.max) << ' ' << info->unit << ", " << range.count << '\n';
    }
    out_ << "\nidentities seen\n";
    for (size_t i = 0; i < kIdentityCount; ++i) {
        out_ << "  " << kIdentities[i].label
             << std::string(18 - std::min<size_t>(17, kIdentities[i].label.size()), ' ');
        if (identities_[i].empty()) out_ << '-';
        size_t shown = 0;
        for (const auto& [order, value] : identities_[i]) {
            if (shown++ == 40) {
                out_ << " ... (" << identities_[i].size() << " in all)";
                break;
            }
            out_ << (shown > 1 ? " " : "") << value;
        }
        out_ << '\n';
    }
    const KpiReport kpis = analysis_.Finish();
    out_ << "\nevents (tessavo-decode --format events lists them)\n";
    for (const EventKindInfo& kind : EventKinds()) {
        out_ << "  " << kind.label << std::string(38 - std::min<size_t>(37, kind.label.size()), ' ')
             << kpis.eventCounts[static_cast<size_t>(kind.kind)] << '\n';
    }
    out_ << "\nKPIs\n";
    for (const KpiValue& kpi : kpis.values) {
        out_ << "  " << kpi.name << std::string(38 - std::min<size_t>(37, kpi.name.size()), ' ')
             << (std::isnan(kpi.value)                ? std::string("-")
                 : kpi.value == std::floor(kpi.value) ? std::to_string(std::llround(kpi.value))
                                                      : Number(kpi.value))
             << (kpi.unit.empty() ? "" : " ") << kpi.unit << '\n';
    }
    const auto measured = [](double value) { return std::isnan(value) ? "-" : Number(value); };
    out_ << "\n1x best servers (pilot PN: time as the strongest pilot, mean Ec/Io, reports)\n";
    if (kpis.pns.empty()) out_ << "  none\n";
    for (const PnRow& pn : kpis.pns) {
        out_ << "  PN " << pn.pn << ": " << Number(pn.bestSeconds) << " s, "
             << measured(pn.meanEcio) << " dB, " << pn.reports << '\n';
    }
    out_ << "\nEV-DO serving sectors (PN: time serving, mean SINR, mean DRC rate)\n";
    if (kpis.doSectors.empty()) out_ << "  none\n";
    for (const DoSectorRow& sector : kpis.doSectors) {
        out_ << "  PN " << sector.pn << ": " << Number(sector.servingSeconds) << " s, "
             << measured(sector.meanSinr) << " dB, " << measured(sector.meanDrcKbps) << " kbit/s\n";
    }
    WriteNotReported(stats);

    out_ << "\nitems by log code\n";
    byLogCode_.ForEach([this](uint16_t code, uint64_t count) {
        out_ << "  " << HexNumber(code, 4) << "  " << count << '\n';
    });
    for (const auto& [code, count] : byCommand_) {
        out_ << "  cmd:" << HexNumber(code, 2) << "  " << count << '\n';
    }
    if (unidentified_ != 0) out_ << "  unknown  " << unidentified_ << '\n';
    out_ << "\nitems by message code\n";
    std::vector<std::pair<uint32_t, uint64_t>> byMsgCode(byMsgCode_.begin(), byMsgCode_.end());
    std::sort(byMsgCode.begin(), byMsgCode.end());
    for (const auto& [code, count] : byMsgCode) {
        out_ << "  " << HexNumber(code, 8) << "  " << count;
        if (std::string name = MessageNameOf(code); !name.empty()) out_ << "  " << name;
        out_ << '\n';
    }
    out_.flush();
}

}  // namespace tessavo::cli
