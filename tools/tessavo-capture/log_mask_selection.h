// Which log codes the capture switches on, and the mask bytes that say so.
//
// By default: the codes the library decodes (its route table, read at build time) that
// belong to the 1x/EV-DO equipment ID. `--codes` names others: hex codes and ranges
// ("0x1007,0x107C,0x1180-0x11FF"), or "all" for every code the handset has.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "log_config_packets.h"

namespace tessavo::capture {

struct CodeSelection {
    bool all = false;
    std::vector<uint16_t> codes;  // sorted, unique; empty with `all`
};

// The library's codes of the 1x/EV-DO equipment ID.
CodeSelection DefaultCodeSelection();
// Nothing, with `error` set, for a list that does not parse or names a code of another
// equipment ID than 1x/EV-DO.
std::optional<CodeSelection> ParseCodeSelection(const std::string& text, std::string& error);

// The mask for the 1x/EV-DO equipment ID. `lastItem` is the handset's (from the ID-range
// reply); without it, the mask reaches the highest code selected (0xFFF for "all").
cli::LogMask BuildLogMask(const CodeSelection& selection, std::optional<uint32_t> lastItem);

}  // namespace tessavo::capture
