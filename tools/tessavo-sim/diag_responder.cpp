#include "diag_responder.h"

#include <algorithm>
#include <string_view>

namespace tessavo::sim {
namespace {

using cli::LogConfigOp;

constexpr uint32_t kStatusRefused = 1;

void PutText(std::vector<uint8_t>& out, std::string_view text, size_t width) {
    for (size_t i = 0; i < width; ++i)
        out.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
}

// Version reply: compile date and time, release date and time, version directory, then
// station class, air interface revision, model, firmware revision (u16), slot cycle index
// and hardware version.
std::vector<uint8_t> VersionReply() {
    std::vector<uint8_t> out{cli::kCmdVersion};
    PutText(out, "Dec 07 2026", 11);
    PutText(out, "04:00:00", 8);
    PutText(out, "Dec 07 2026", 11);
    PutText(out, "04:00:00", 8);
    PutText(out, "TSVSIM01", 8);
    out.insert(out.end(), {0x01, 0x06, 0x21, 0x01, 0x00, 0x02, 0x01, 0x00});
    return out;
}

// Extended build identity: format, two reserved bytes, hardware version (u32), model (u32),
// then the build and model names, each ending in a zero byte.
std::vector<uint8_t> BuildIdReply() {
    std::vector<uint8_t> out{
        cli::kCmdExtBuildId, 0x02, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x21, 0x00, 0x00, 0x00};
    for (std::string_view text :
         {std::string_view("TESSAVO.SIM.1.0"), std::string_view("tessavo-sim")}) {
        out.insert(out.end(), text.begin(), text.end());
        out.push_back(0);
    }
    return out;
}

}  // namespace

DiagResponder::DiagResponder(ResponderFaults faults) : faults_(faults) {
    for (uint32_t id = 0; id < cli::kEquipmentIds; ++id)
        masks_[id] = cli::EmptyLogMask(id, kLastItems[id]);
}

std::vector<uint8_t> DiagResponder::Answer(std::span<const uint8_t> request) {
    if (request.empty()) return {cli::kCmdBadLength};
    switch (request[0]) {
        case cli::kCmdVersion:
            return VersionReply();
        case cli::kCmdExtBuildId:
            return BuildIdReply();
        case cli::kCmdLogConfig:
            return AnswerLogConfig(request);
        case cli::kCmdEventReport:
            // No events are simulated: an empty report (its length word 0).
            return {cli::kCmdEventReport, 0x00, 0x00};
        case cli::kCmdExtMessageConfig:
            return std::vector<uint8_t>(request.begin(), request.end());
        default: {
            std::vector<uint8_t> out{cli::kCmdBadCommand};
            out.insert(out.end(), request.begin(), request.end());
            return out;
        }
    }
}

std::vector<uint8_t> DiagResponder::AnswerLogConfig(std::span<const uint8_t> request) {
    auto command = cli::ParseLogConfigRequest(request);
    if (!command) return {cli::kCmdBadLength};
    cli::LogConfigReply reply;
    reply.op = command->op;
    switch (command->op) {
        case LogConfigOp::kDisable:
            for (auto& mask : masks_) mask = cli::EmptyLogMask(mask.equipment, mask.lastItem);
            break;
        case LogConfigOp::kRetrieveRanges:
            reply.lastItems = kLastItems;
            break;
        case LogConfigOp::kSetMask: {
            cli::LogMask& mask = masks_[command->mask.equipment];
            if (faults_.rejectMask ||
                command->mask.lastItem > kLastItems[command->mask.equipment]) {
                reply.status = kStatusRefused;
                break;
            }
            mask = cli::EmptyLogMask(mask.equipment, mask.lastItem);
            std::copy(command->mask.bits.begin(), command->mask.bits.end(), mask.bits.begin());
            reply.mask = mask;
            break;
        }
        case LogConfigOp::kGetMask:
            reply.mask = masks_[command->mask.equipment];
            break;
        default: {
            std::vector<uint8_t> out{cli::kCmdBadParameters};
            out.insert(out.end(), request.begin(), request.end());
            return out;
        }
    }
    return cli::LogConfigReplyPacket(reply);
}

bool DiagResponder::Logging(uint16_t logCode) const {
    return masks_[cli::EquipmentOf(logCode)].Enabled(cli::ItemOf(logCode));
}

bool DiagResponder::AnyLogging() const {
    return std::any_of(masks_.begin(), masks_.end(),
                       [](const cli::LogMask& m) { return !m.Empty(); });
}

}  // namespace tessavo::sim
