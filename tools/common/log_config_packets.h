// The DIAG requests a host sends to set up logging, and their replies: the handset's
// identity, log configuration (command 0x73: retrieve the ID ranges, set and read a log
// mask, switch logging off) and event reporting (command 0x60). Packets here are unframed
// (hdlc_codec.h frames them); every multi-byte field is little-endian.
//
// A log mask belongs to one equipment ID, the top four bits of a log code: bit i (bit i % 8
// of byte i / 8) enables log code (equipment << 12) | i, for i up to the mask's last item.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tessavo::cli {

inline constexpr uint8_t kCmdVersion = 0x00;        // version and build identity
inline constexpr uint8_t kCmdLog = 0x10;            // a log packet
inline constexpr uint8_t kCmdBadCommand = 0x13;     // the reply to a command not understood
inline constexpr uint8_t kCmdBadParameters = 0x14;  // ... to a command with bad parameters
inline constexpr uint8_t kCmdBadLength = 0x15;      // ... to a command of the wrong length
inline constexpr uint8_t kCmdEventReport = 0x60;
inline constexpr uint8_t kCmdLogConfig = 0x73;
inline constexpr uint8_t kCmdExtMessageConfig = 0x7D;
inline constexpr uint8_t kCmdExtBuildId = 0x7C;

enum class LogConfigOp : uint32_t {
    kDisable = 0,         // every log code off
    kRetrieveRanges = 1,  // the last item of every equipment ID
    kSetMask = 3,
    kGetMask = 4,
};

inline constexpr size_t kEquipmentIds = 16;
inline constexpr uint32_t kEquipmentCdma = 1;  // log codes 0x1000-0x1FFF (1x and EV-DO)
inline constexpr uint32_t kMaxLastItem = 0xFFF;

inline constexpr uint32_t EquipmentOf(uint16_t logCode) {
    return logCode >> 12;
}
inline constexpr uint32_t ItemOf(uint16_t logCode) {
    return logCode & 0xFFFu;
}

struct LogMask {
    uint32_t equipment = kEquipmentCdma;
    uint32_t lastItem = 0;
    std::vector<uint8_t> bits;  // LogMaskBytes(lastItem) bytes

    bool Enabled(uint32_t item) const;
    void Enable(uint32_t item);  // items past lastItem are ignored
    bool Empty() const;
};

// Bytes of a mask reaching `lastItem`.
inline constexpr size_t LogMaskBytes(uint32_t lastItem) {
    return lastItem / 8 + 1;
}
// A mask with every bit clear.
LogMask EmptyLogMask(uint32_t equipment, uint32_t lastItem);

// Requests.
std::vector<uint8_t> VersionRequest();
std::vector<uint8_t> LogConfigRequest(LogConfigOp op);  // kDisable, kRetrieveRanges
std::vector<uint8_t> SetLogMaskRequest(const LogMask& mask);
std::vector<uint8_t> GetLogMaskRequest(uint32_t equipment);
std::vector<uint8_t> EventReportRequest(bool on);

// A log configuration request as the handset reads it; nothing when it is too short for its
// operation.
struct LogConfigCommand {
    LogConfigOp op = LogConfigOp::kDisable;
    LogMask mask;  // kSetMask: the mask sent; kGetMask: its equipment only
};
std::optional<LogConfigCommand> ParseLogConfigRequest(std::span<const uint8_t> packet);

// Replies: 73 00 00 00, the operation, a status word (0: success), then per operation the 16
// last items (kRetrieveRanges) or the equipment ID, last item and mask bytes (kSetMask,
// kGetMask).
struct LogConfigReply {
    LogConfigOp op = LogConfigOp::kDisable;
    uint32_t status = 0;
    std::array<uint32_t, kEquipmentIds> lastItems{};
    std::optional<LogMask> mask;
};
std::vector<uint8_t> LogConfigReplyPacket(const LogConfigReply& reply);
// Nothing when `packet` is not a log configuration reply or is too short for its operation.
std::optional<LogConfigReply> ParseLogConfigReply(std::span<const uint8_t> packet);

// Whether `reply` answers `request`: the same command code (and, for log configuration, the
// same operation) in a packet that is not the request itself (a port that echoes gives the
// request back unchanged), or an error reply (bad command, parameters or length) to it.
bool AnswersCommand(std::span<const uint8_t> reply, std::span<const uint8_t> request);
bool IsErrorReply(std::span<const uint8_t> reply);

// "73 00 00 00 03 ...": lower-case hex, one space between bytes.
std::string HexText(std::span<const uint8_t> bytes);

}  // namespace tessavo::cli
