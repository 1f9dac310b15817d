// The handset side of the DIAG commands: answers each request packet as a handset would and
// keeps the log masks that decide which log frames it sends.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "log_config_packets.h"

namespace tessavo::sim {

struct ResponderFaults {
    bool rejectMask = false;  // answer every set-mask request with status 1
};

class DiagResponder {
  public:
    explicit DiagResponder(ResponderFaults faults = {});

    // The reply packet (unframed) to `request`; commands the handset does not know get the
    // bad-command reply, 0x13 followed by the request.
    std::vector<uint8_t> Answer(std::span<const uint8_t> request);

    // Whether the handset logs `logCode` now.
    bool Logging(uint16_t logCode) const;
    // Whether any log code is on (logging starts with the first mask that enables one).
    bool AnyLogging() const;

    // The last item of each equipment ID, as the handset reports it: 1x and EV-DO up to
    // 0x1FFF, the other equipment IDs as a handset of the same generation.
    static constexpr std::array<uint32_t, cli::kEquipmentIds> kLastItems = {
        0x000, 0xFFF, 0x000, 0x000, 0x5FF, 0x000, 0x000, 0x1FF,
        0x000, 0x2FF, 0x000, 0xFFF, 0x000, 0x000, 0x000, 0x000};

  private:
    std::vector<uint8_t> AnswerLogConfig(std::span<const uint8_t> request);

    ResponderFaults faults_;
    std::array<cli::LogMask, cli::kEquipmentIds> masks_;
};

}  // namespace tessavo::sim
