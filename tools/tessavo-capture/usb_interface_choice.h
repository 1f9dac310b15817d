// Which interface of a USB handset carries the diagnostic port, from its descriptors alone
// (so the rule is tested without a device).
//
// A named interface must have a bulk IN and a bulk OUT endpoint. Otherwise the vendor
// interface whose class, subclass and protocol are 0xFF/0xFF/0x30 (the diagnostic function of
// many handsets) is taken; failing that, the first vendor interface (0xFF/0xFF) with exactly
// one bulk IN and one bulk OUT endpoint.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessavo::capture {

struct UsbEndpointInfo {
    uint8_t address = 0;     // bit 7 set: IN (device to host)
    uint8_t attributes = 0;  // bits 0-1: transfer type, 2 for bulk
};

struct UsbInterfaceInfo {
    uint8_t number = 0;
    uint8_t altSetting = 0;
    uint8_t interfaceClass = 0;
    uint8_t subclass = 0;
    uint8_t protocol = 0;
    std::vector<UsbEndpointInfo> endpoints;
};

struct UsbChoice {
    uint8_t number = 0;  // the interface number
    uint8_t altSetting = 0;
    uint8_t in = 0;  // endpoint addresses
    uint8_t out = 0;
};

// Nothing, with `error` set, when no interface fits.
std::optional<UsbChoice> ChooseDiagInterface(const std::vector<UsbInterfaceInfo>& interfaces,
                                             std::optional<int> wanted, std::string& error);

}  // namespace tessavo::capture
