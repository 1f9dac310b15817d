#include "message_names.h"

#include <array>

namespace tessavo::cli {
namespace {

using enum MessageChannel;

constexpr SignallingLogRow kLogs[] = {
    {0x1004, k1xAccess, "1x access channel, sent"},
    {0x1005, k1xReverseTraffic, "1x reverse traffic channel, sent"},
    {0x1006, k1xSync, "1x sync channel, received"},
    {0x1007, k1xPaging, "1x paging channel, received"},
    {0x1008, k1xForwardTraffic, "1x forward traffic channel, received"},
    {0x1076, kEvdo, "EV-DO access channel, sent"},
    {0x1077, kEvdo, "EV-DO reverse traffic channel, sent"},
    {0x1078, kEvdo, "EV-DO control channel, received"},
    {0x1079, kEvdo, "EV-DO forward traffic channel, received"},
    {0x107C, kEvdo, "EV-DO control channel (broadcast), received"},
};

// 1x layer 3 message types. Types the decoders route by name first: System Parameters (1),
// Access Parameters (2), Extended System Parameters (13) on the paging channel; Origination
// (4) and Page Response (5) on the access channel; Pilot Strength Measurement (5) and
// Handoff Completion (10) on the reverse traffic channel; Alert With Information (3),
// Extended (17), General (31) and Universal (34, and 53 with the MEID) Handoff Direction,
// Power Control (25) and Extended Supplemental Channel Assignment (35) on the forward
// traffic channel; the Order Message on every channel that carries one.
constexpr MessageNameRow kRows[] = {
    {k1xSync, 1, "Sync Channel Message"},

    {k1xPaging, 1, "System Parameters Message"},
    {k1xPaging, 2, "Access Parameters Message"},
    {k1xPaging, 3, "Neighbor List Message"},
    {k1xPaging, 4, "CDMA Channel List Message"},
    {k1xPaging, 5, "Slotted Page Message"},
    {k1xPaging, 6, "Page Message"},
    {k1xPaging, 7, "Order Message"},
    {k1xPaging, 8, "Channel Assignment Message"},
    {k1xPaging, 9, "Data Burst Message"},
    {k1xPaging, 10, "Authentication Challenge Message"},
    {k1xPaging, 11, "SSD Update Message"},
    {k1xPaging, 12, "Feature Notification Message"},
    {k1xPaging, 13, "Extended System Parameters Message"},
    {k1xPaging, 14, "Extended Neighbor List Message"},
    {k1xPaging, 15, "Status Request Message"},
    {k1xPaging, 16, "Service Redirection Message"},
    {k1xPaging, 17, "General Page Message"},
    {k1xPaging, 18, "Global Service Redirection Message"},
    {k1xPaging, 19, "TMSI Assignment Message"},
    {k1xPaging, 20, "PACA Message"},
    {k1xPaging, 21, "Extended Channel Assignment Message"},
    {k1xPaging, 22, "General Neighbor List Message"},
    {k1xPaging, 23, "User Zone Identification Message"},
    {k1xPaging, 24, "Private Neighbor List Message"},

    {k1xAccess, 1, "Registration Message"},
    {k1xAccess, 2, "Order Message"},
    {k1xAccess, 3, "Data Burst Message"},
    {k1xAccess, 4, "Origination Message"},
    {k1xAccess, 5, "Page Response Message"},
    {k1xAccess, 6, "Authentication Challenge Response Message"},
    {k1xAccess, 7, "Status Response Message"},
    {k1xAccess, 8, "TMSI Assignment Completion Message"},
    {k1xAccess, 9, "PACA Cancel Message"},
    {k1xAccess, 10, "Extended Status Response Message"},

    {k1xReverseTraffic, 1, "Order Message"},
    {k1xReverseTraffic, 2, "Authentication Challenge Response Message"},
    {k1xReverseTraffic, 3, "Flash With Information Message"},
    {k1xReverseTraffic, 4, "Data Burst Message"},
    {k1xReverseTraffic, 5, "Pilot Strength Measurement Message"},
    {k1xReverseTraffic, 6, "Power Measurement Report Message"},
    {k1xReverseTraffic, 7, "Send Burst DTMF Message"},
    {k1xReverseTraffic, 8, "Status Message"},
    {k1xReverseTraffic, 9, "Origination Continuation Message"},
    {k1xReverseTraffic, 10, "Handoff Completion Message"},
    {k1xReverseTraffic, 11, "Parameters Response Message"},
    {k1xReverseTraffic, 12, "Service Request Message"},
    {k1xReverseTraffic, 13, "Service Response Message"},
    {k1xReverseTraffic, 14, "Service Connect Completion Message"},
    {k1xReverseTraffic, 15, "Service Option Control Message"},
    {k1xReverseTraffic, 16, "Status Response Message"},
    {k1xReverseTraffic, 17, "TMSI Assignment Completion Message"},
    {k1xReverseTraffic, 18, "Supplemental Channel Request Message"},
    {k1xReverseTraffic, 19, "Candidate Frequency Search Response Message"},
    {k1xReverseTraffic, 20, "Candidate Frequency Search Report Message"},
    {k1xReverseTraffic, 21, "Periodic Pilot Strength Measurement Message"},
    {k1xReverseTraffic, 22, "Outer Loop Report Message"},

    {k1xForwardTraffic, 1, "Order Message"},
    {k1xForwardTraffic, 2, "Authentication Challenge Message"},
    {k1xForwardTraffic, 3, "Alert With Information Message"},
    {k1xForwardTraffic, 4, "Data Burst Message"},
    {k1xForwardTraffic, 5, "Handoff Direction Message"},
    {k1xForwardTraffic, 6, "Analog Handoff Direction Message"},
    {k1xForwardTraffic, 7, "In-Traffic System Parameters Message"},
    {k1xForwardTraffic, 8, "Neighbor List Update Message"},
    {k1xForwardTraffic, 9, "Send Burst DTMF Message"},
    {k1xForwardTraffic, 10, "Power Control Parameters Message"},
    {k1xForwardTraffic, 11, "Retrieve Parameters Message"},
    {k1xForwardTraffic, 12, "Set Parameters Message"},
    {k1xForwardTraffic, 13, "SSD Update Message"},
    {k1xForwardTraffic, 14, "Flash With Information Message"},
    {k1xForwardTraffic, 15, "Mobile Station Registered Message"},
    {k1xForwardTraffic, 16, "Status Request Message"},
    {k1xForwardTraffic, 17, "Extended Handoff Direction Message"},
    {k1xForwardTraffic, 18, "Service Request Message"},
    {k1xForwardTraffic, 19, "Service Response Message"},
    {k1xForwardTraffic, 20, "Service Connect Message"},
    {k1xForwardTraffic, 21, "Service Option Control Message"},
    {k1xForwardTraffic, 22, "TMSI Assignment Message"},
    {k1xForwardTraffic, 23, "Service Redirection Message"},
    {k1xForwardTraffic, 24, "Supplemental Channel Assignment Message"},
    {k1xForwardTraffic, 25, "Power Control Message"},
    {k1xForwardTraffic, 26, "Extended Neighbor List Update Message"},
    {k1xForwardTraffic, 27, "Candidate Frequency Search Request Message"},
    {k1xForwardTraffic, 28, "Candidate Frequency Search Control Message"},
    {k1xForwardTraffic, 29, "Power Up Function Message"},
    {k1xForwardTraffic, 30, "Power Up Function Completion Message"},
    {k1xForwardTraffic, 31, "General Handoff Direction Message"},
    {k1xForwardTraffic, 34, "Universal Handoff Direction Message"},
    {k1xForwardTraffic, 35, "Extended Supplemental Channel Assignment Message"},
    {k1xForwardTraffic, 53, "Universal Handoff Direction Message (MEID)"},

    // EV-DO: protocol type << 8 | message ID. Configuration requests and responses (0x50,
    // 0x51) are common to every protocol and listed once, as protocol 0xFF.
    {kEvdo, 0x0200, "ACAck"},
    {kEvdo, 0x0201, "AccessParameters"},
    {kEvdo, 0x0300, "FixedModeEnable"},
    {kEvdo, 0x0301, "FixedModeXoff"},
    {kEvdo, 0x0400, "RTCAck"},
    {kEvdo, 0x0401, "BroadcastReverseRateLimit"},
    {kEvdo, 0x0402, "UnicastReverseRateLimit"},
    {kEvdo, 0x0A00, "Redirect"},
    {kEvdo, 0x0A01, "ConnectionFailed"},
    {kEvdo, 0x0B00, "Sync"},
    {kEvdo, 0x0C01, "ConnectionRequest"},
    {kEvdo, 0x0C02, "ConnectionDeny"},
    {kEvdo, 0x0D00, "ConnectionClose"},
    {kEvdo, 0x0E00, "RouteUpdate"},
    {kEvdo, 0x0E01, "TrafficChannelAssignment"},
    {kEvdo, 0x0E02, "TrafficChannelComplete"},
    {kEvdo, 0x0E03, "ResetReport"},
    {kEvdo, 0x0F00, "QuickConfig"},
    {kEvdo, 0x0F01, "SectorParameters"},
    {kEvdo, 0x1001, "SessionClose"},
    {kEvdo, 0x1002, "KeepAliveRequest"},
    {kEvdo, 0x1003, "KeepAliveResponse"},
    {kEvdo, 0x1100, "UATIRequest"},
    {kEvdo, 0x1101, "UATIAssignment"},
    {kEvdo, 0x1102, "UATIComplete"},
    {kEvdo, 0x1103, "HardwareIDRequest"},
    {kEvdo, 0x1104, "HardwareIDResponse"},
    {kEvdo, 0xFF50, "ConfigurationRequest"},
    {kEvdo, 0xFF51, "ConfigurationResponse"},
};

constexpr ProtocolNameRow kProtocols[] = {
    {2, "Access Channel MAC"},
    {3, "Forward Traffic Channel MAC"},
    {4, "Reverse Traffic Channel MAC"},
    {5, "Key Exchange"},
    {10, "Air Link Management"},
    {11, "Initialization State"},
    {12, "Idle State"},
    {13, "Connected State"},
    {14, "Route Update"},
    {15, "Overhead Messages"},
    {16, "Session Management"},
    {17, "Address Management"},
    {18, "Session Configuration"},
    {20, "Stream 0 Application"},
    {21, "Stream 1 Application"},
    {22, "Stream 2 Application"},
    {23, "Stream 3 Application"},
};

constexpr uint8_t kAnyProtocol = 0xFF;

const SignallingLogRow* FindLog(uint32_t msgCode) {
    for (const SignallingLogRow& row : kLogs) {
        if (row.logCode == msgCode >> 16) return &row;
    }
    return nullptr;
}

std::string_view Find(MessageChannel channel, uint16_t type) {
    for (const MessageNameRow& row : kRows) {
        if (row.channel == channel && row.type == type) return row.name;
    }
    return {};
}

std::string_view ProtocolName(uint8_t protocol) {
    for (const ProtocolNameRow& row : kProtocols) {
        if (row.protocol == protocol) return row.name;
    }
    return {};
}

// The protocol type of the high byte of an EV-DO message code. The logs add 16 × the
// protocol subtype to the types that have subtypes (4, 12, 14, 21 to 23; type 4 counts
// subtypes from 2), so a value of 24 or more is one of those.
uint8_t EvdoProtocol(uint8_t value) {
    if (value < 24) return value;
    switch (value & 0x0F) {
        case 4:
            return 4;
        case 12:
            return 12;
        case 14:
            return 14;
        case 5:
            return 21;
        case 6:
            return 22;
        case 7:
            return 23;
        default:
            return 0;
    }
}

bool IsOrder(MessageChannel channel, uint8_t type) {
    switch (channel) {
        case k1xAccess:
            return type == 2;
        case k1xPaging:
            return type == 7;
        case k1xReverseTraffic:
        case k1xForwardTraffic:
            return type == 1;
        default:
            return false;
    }
}

std::string Unknown(unsigned type) {
    return "unknown (type " + std::to_string(type) + ")";
}

}  // namespace

std::span<const MessageNameRow> MessageNames() {
    return kRows;
}

std::span<const ProtocolNameRow> EvdoProtocolNames() {
    return kProtocols;
}

std::span<const SignallingLogRow> SignallingLogs() {
    return kLogs;
}

bool IsSignallingMessageCode(uint32_t msgCode) {
    return FindLog(msgCode) != nullptr;
}

std::string MessageNameOf(uint32_t msgCode) {
    const SignallingLogRow* log = FindLog(msgCode);
    if (log == nullptr) return {};
    const auto high = static_cast<uint8_t>(msgCode >> 8);
    const auto low = static_cast<uint8_t>(msgCode);
    if (log->channel != kEvdo) {
        std::string_view name = Find(log->channel, high);
        if (name.empty()) return Unknown(high);
        std::string text(name);
        if (low != 0 && IsOrder(log->channel, high)) {
            text += " (order sub-code " + std::to_string(low) + ")";
        }
        return text;
    }
    // A short record, or a protocol the logs do not identify, leaves the lower half 0.
    if ((msgCode & 0xFFFF) == 0) return Unknown(0);
    const uint8_t protocol = EvdoProtocol(high);
    std::string_view protocolName = ProtocolName(protocol);
    if (protocolName.empty()) return Unknown(msgCode & 0xFFFF);
    std::string_view name = Find(kEvdo, static_cast<uint16_t>(protocol << 8 | low));
    if (name.empty()) name = Find(kEvdo, static_cast<uint16_t>(kAnyProtocol << 8 | low));
    return std::string(protocolName) + ": " + (name.empty() ? Unknown(low) : std::string(name));
}

}  // namespace tessavo::cli
