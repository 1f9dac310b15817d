// Over-the-air signalling messages of the sample's handset, as the bit strings a 1x handset
// logs under the sync, paging, access and traffic channel log codes (fields most significant
// bit first, first byte the message length in octets).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "diag_frame_writer.h"

namespace tessavo::sample {

struct CellIdentity {
    uint16_t sid = 0;
    uint16_t nid = 0;
    uint16_t baseId = 0;
    uint16_t pilotPn = 0;
    uint16_t channel = 0;  // CDMA channel number
};

// Paging and sync channel (received).
Bytes SyncChannelMessage(const CellIdentity& cell, uint8_t pRev);
Bytes SystemParametersMessage(const CellIdentity& cell, uint8_t configSeq);
Bytes AccessParametersMessage(const CellIdentity& cell, uint8_t accessSeq);
Bytes ExtendedSystemParametersMessage(const CellIdentity& cell, uint8_t configSeq, uint8_t pRev);
Bytes GeneralPageMessage(uint8_t configSeq, uint8_t accessSeq);

// Access channel (sent). `activeStrength` is the pilot strength field: -2 × Ec/Io in dB.
struct AccessHeader {
    uint8_t msgSeq = 0;
    uint8_t activeStrength = 0;
};
Bytes PageResponseMessage(const AccessHeader& header, uint16_t serviceOption);
// `digits` in the handset's 4-bit dialling codes: '0'-'9', '*' and '#'.
Bytes OriginationMessage(const AccessHeader& header, uint16_t serviceOption,
                         const std::string& digits);

// Traffic channel header fields shared by every message.
struct TrafficHeader {
    uint8_t ackSeq = 0;
    uint8_t msgSeq = 0;
    uint8_t ackReq = 0;
};

struct PilotReport {
    uint16_t pn = 0;
    uint8_t strength = 0;  // -2 × Ec/Io in dB, 6 bits
};

// Reverse traffic (sent).
Bytes PilotStrengthMeasurementMessage(const TrafficHeader& header, uint16_t refPn,
                                      uint8_t refStrength, const std::vector<PilotReport>& others);
Bytes HandoffCompletionMessage(const TrafficHeader& header, uint8_t lastHdmSeq,
                               const std::vector<uint16_t>& pilots);
// `order` and the qualifier; `withQualifier` false sends ADD_RECORD_LEN 0.
Bytes ReverseOrderMessage(const TrafficHeader& header, uint8_t order, bool withQualifier,
                          uint8_t ordq);

// Forward traffic (received).
Bytes ForwardOrderMessage(const TrafficHeader& header, uint8_t order, uint8_t ordq);
Bytes ServiceConnectMessage(const TrafficHeader& header, uint16_t serviceOption);
Bytes AlertWithInformationMessage(const TrafficHeader& header, const std::string& callingNumber);
struct HandoffPilot {
    uint16_t pn = 0;
    bool combinedWithPrevious = true;  // PWR_COMB_IND
    uint8_t codeChannel = 0;
};
Bytes ExtendedHandoffDirectionMessage(const TrafficHeader& header, uint8_t hdmSeq,
                                      const std::vector<HandoffPilot>& pilots);
// A soft handoff keeps the frequency: no extra parameters. A hard handoff names the new
// CDMA channel in its extra parameters.
Bytes GeneralHandoffDirectionMessage(const TrafficHeader& header, uint8_t hdmSeq,
                                     const std::vector<HandoffPilot>& pilots,
                                     const uint16_t* newChannel);

}  // namespace tessavo::sample
