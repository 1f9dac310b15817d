#include "frame_builder.h"

#include "crc16_x25.h"

namespace tessavo::cli {
namespace {

constexpr uint8_t kFlag = 0x7E;
constexpr uint8_t kEscape = 0x7D;
constexpr uint8_t kLogCommand = 0x10;
constexpr size_t kLogRecordHeader = 12;  // length, log code, time stamp

void AppendEscaped(uint8_t byte, std::vector<uint8_t>& out) {
    if (byte == kFlag || byte == kEscape) {
        out.push_back(kEscape);
        byte ^= 0x20;
    }
    out.push_back(byte);
}

}  // namespace

void AppendFrame(std::span<const uint8_t> packet, std::vector<uint8_t>& out) {
    for (uint8_t byte : packet) AppendEscaped(byte, out);
    const auto crc = static_cast<uint16_t>(CrcRegister(packet) ^ 0xFFFF);
    AppendEscaped(static_cast<uint8_t>(crc & 0xFF), out);
    AppendEscaped(static_cast<uint8_t>(crc >> 8), out);
    out.push_back(kFlag);
}

void AppendLogPacket(std::span<const uint8_t> record, std::vector<uint8_t>& out) {
    out.push_back(kLogCommand);
    out.push_back(0);
    // The record's own length word, repeated as the packet's length.
    out.push_back(record.size() > 0 ? record[0] : 0);
    out.push_back(record.size() > 1 ? record[1] : 0);
    out.insert(out.end(), record.begin(), record.end());
}

std::vector<uint8_t> EmptyLogRecord(uint16_t logCode) {
    std::vector<uint8_t> record(kLogRecordHeader, 0);
    record[0] = static_cast<uint8_t>(kLogRecordHeader);
    record[2] = static_cast<uint8_t>(logCode & 0xFF);
    record[3] = static_cast<uint8_t>(logCode >> 8);
    return record;
}

}  // namespace tessavo::cli
