#include "usb_interface_choice.h"

namespace tessavo::capture {
namespace {

constexpr uint8_t kVendorSpecific = 0xFF;
constexpr uint8_t kDiagProtocol = 0x30;
constexpr uint8_t kTransferTypeMask = 0x03;
constexpr uint8_t kBulk = 0x02;
constexpr uint8_t kDirectionIn = 0x80;

// The interface's bulk endpoints when it has exactly one of each direction.
std::optional<UsbChoice> BulkPair(const UsbInterfaceInfo& info) {
    int ins = 0, outs = 0;
    UsbChoice choice{info.number, info.altSetting, 0, 0};
    for (const UsbEndpointInfo& endpoint : info.endpoints) {
        if ((endpoint.attributes & kTransferTypeMask) != kBulk) continue;
        if ((endpoint.address & kDirectionIn) != 0) {
            choice.in = endpoint.address;
            ++ins;
        } else {
            choice.out = endpoint.address;
            ++outs;
        }
    }
    if (ins != 1 || outs != 1) return std::nullopt;
    return choice;
}

bool Vendor(const UsbInterfaceInfo& info) {
    return info.interfaceClass == kVendorSpecific && info.subclass == kVendorSpecific;
}

}  // namespace

std::optional<UsbChoice> ChooseDiagInterface(const std::vector<UsbInterfaceInfo>& interfaces,
                                             std::optional<int> wanted, std::string& error) {
    if (wanted) {
        for (const UsbInterfaceInfo& info : interfaces) {
            if (info.number != *wanted) continue;
            if (auto choice = BulkPair(info)) return choice;
        }
        error = "interface " + std::to_string(*wanted) + " has no bulk IN and OUT endpoint pair";
        return std::nullopt;
    }
    for (const UsbInterfaceInfo& info : interfaces) {
        if (!Vendor(info) || info.protocol != kDiagProtocol) continue;
        if (auto choice = BulkPair(info)) return choice;
    }
    for (const UsbInterfaceInfo& info : interfaces) {
        if (!Vendor(info)) continue;
        if (auto choice = BulkPair(info)) return choice;
    }
    error =
        "no vendor-specific interface with a bulk IN and OUT endpoint pair; name one as "
        "VID:PID:INTERFACE";
    return std::nullopt;
}

}  // namespace tessavo::capture
