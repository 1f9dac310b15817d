#include "ota_messages.h"

#include "support/bit_writer.h"

namespace tessavo::sample {
namespace {

using test::BitWriter;

// Pads to whole octets and stores the octet count in the leading MSG_LENGTH field, which the
// writer left as 0.
Bytes Finish(BitWriter& w) {
    w.AlignZero();
    Bytes bytes = w.Bytes();
    bytes[0] = static_cast<uint8_t>(bytes.size());
    return bytes;
}

BitWriter Start(uint8_t msgType) {
    BitWriter w;
    w.Msb(0, 8).Msb(msgType, 8);
    return w;
}

BitWriter StartTraffic(uint8_t msgType, const TrafficHeader& h) {
    BitWriter w = Start(msgType);
    w.Msb(h.ackSeq, 3).Msb(h.msgSeq, 3).Msb(h.ackReq, 1).Msb(0, 2);  // ENCRYPTION off
    return w;
}

// Access channel common part up to the body: LAC header, a 5-octet MSID, no authentication,
// the LAC padding and a pilot report with the active pilot only.
BitWriter StartAccess(uint8_t msgType, const AccessHeader& h) {
    constexpr int kLacOctets = 9;
    constexpr int kMsidOctets = 5;
    BitWriter w;
    w.Msb(0, 8).Msb(0, 2).Msb(msgType, 6);
    w.Msb(kLacOctets, 5).Msb(0, 3).Msb(h.msgSeq, 3).Msb(0, 1).Msb(0, 1).Msb(0, 3);
    w.Msb(3, 3).Msb(kMsidOctets, 4);  // MSID_TYPE 3: IMSI and ESN
    for (uint8_t b : {0x46, 0x00, 0x13, 0x57, 0x9B}) w.Msb(b, 8);
    w.Msb(0, 2);                                      // AUTH_MODE
    w.Msb(0, 8 * kLacOctets - 25 - 8 * kMsidOctets);  // LAC padding
    w.Msb(h.activeStrength, 6).Msb(1, 1).Msb(0, 1).Msb(0, 3);
    return w;
}

}  // namespace

Bytes SyncChannelMessage(const CellIdentity& cell, uint8_t pRev) {
    BitWriter w = Start(1);
    w.Msb(pRev, 8).Msb(1, 8).Msb(cell.sid, 15).Msb(cell.nid, 16).Msb(cell.pilotPn, 9);
    w.Msb(0x2A5A5A5A5ull, 42).Msb(0x0123456ull, 36);  // LC_STATE, SYS_TIME
    w.Msb(18, 8).Msb(16, 6).Msb(0, 1).Msb(1, 2);      // LP_SEC, LTM_OFF (+8 h), DAYLT, PRAT
    w.Msb(cell.channel, 11).Msb(cell.channel, 11);    // CDMA_FREQ, EXT_CDMA_FREQ
    return Finish(w);
}

Bytes SystemParametersMessage(const CellIdentity& cell, uint8_t configSeq) {
    BitWriter w = Start(1);
    w.Msb(cell.pilotPn, 9).Msb(configSeq, 6).Msb(cell.sid, 15).Msb(cell.nid, 16);
    w.Msb(cell.baseId & 0xFFF, 12).Msb(1, 3).Msb(1, 3).Msb(0, 1).Msb(0, 1);
    w.Msb(cell.baseId, 16).Msb(15, 4).Msb(1, 3).Msb(2, 3);  // BASE_ID, BASE_CLASS, PAGE_CHAN
    for (int flag : {1, 1, 1, 1, 1, 1}) w.Msb(flag, 1);     // registration switches
    w.Msb(58, 7);                                           // REG_PRD
    w.Msb(0x1A2B3C & 0x3FFFFF, 22).Msb(0x5B8D80 & 0x7FFFFF, 23);
    w.Msb(0, 11);
    w.Msb(8, 4).Msb(11, 4).Msb(11, 4).Msb(0, 4);  // SRCH_WIN_A/N/R, NGHBR_MAX_AGE
    w.Msb(2, 5).Msb(5, 4).Msb(1, 1).Msb(0, 1).Msb(1, 5);
    w.Msb(0, 1);                                  // RESCAN
    w.Msb(28, 6).Msb(32, 6).Msb(5, 4).Msb(3, 4);  // T_ADD -14 dB, T_DROP -16 dB
    for (int flag : {0, 0, 0, 1, 0, 0, 0, 0}) w.Msb(flag, 1);
    return Finish(w);
}

Bytes AccessParametersMessage(const CellIdentity& cell, uint8_t accessSeq) {
    BitWriter w = Start(2);
    w.Msb(cell.pilotPn, 9).Msb(accessSeq, 6).Msb(0, 5);
    w.Msb(0, 4).Msb(15, 5).Msb(4, 3).Msb(5, 4);  // NOM_PWR, INIT_PWR, PWR_STEP, NUM_STEP
    w.Msb(3, 3).Msb(3, 4);                       // MAX_CAP_SZ, PAM_SZ
    w.Msb(0, 6);
    for (int i = 0; i < 6; ++i) w.Msb(0, 3);
    w.Msb(0, 3).Msb(0, 3);
    w.Msb(0, 4).Msb(4, 4).Msb(4, 4).Msb(4, 4);  // PROBE_PN_RAN, ACC_TMO, PROBE_BKOFF, BKOFF
    w.Msb(2, 4).Msb(2, 4);                      // MAX_REQ_SEQ, MAX_RSP_SEQ
    w.Msb(0, 2).Msb(0, 1);
    return Finish(w);
}

Bytes ExtendedSystemParametersMessage(const CellIdentity& cell, uint8_t configSeq, uint8_t pRev) {
    BitWriter w = Start(13);
    w.Msb(cell.pilotPn, 9).Msb(configSeq, 6).Msb(0, 1).Msb(0, 1).Msb(2, 2);
    w.Msb(359, 10).Msb(92, 7).Msb(0, 4);  // MCC 460, IMSI_11_12 03, no TMSI zone
    w.Msb(0, 3).Msb(1, 1).Msb(pRev, 8).Msb(1, 8);
    w.Msb(18, 6).Msb(6, 6).Msb(6, 6);  // SOFT_SLOPE, ADD_INTERCEPT, DROP_INTERCEPT
    w.Msb(1, 8).Msb(2, 3).Msb(0, 1).Msb(0, 5).Msb(0, 5);
    return Finish(w);
}

Bytes GeneralPageMessage(uint8_t configSeq, uint8_t accessSeq) {
    BitWriter w = Start(17);
    w.Msb(configSeq, 6).Msb(accessSeq, 6).Msb(0, 1).Msb(0, 1).Msb(0, 1).Msb(0, 2);
    w.Msb(3, 2).Msb(0x1357, 16).Msb(0x9B, 8);  // one page record for this handset
    return Finish(w);
}

Bytes PageResponseMessage(const AccessHeader& header, uint16_t serviceOption) {
    BitWriter w = StartAccess(5, header);
    w.Msb(1, 1).Msb(2, 3).Msb(6, 8).Msb(0xEA, 8).Msb(0, 3).Msb(serviceOption, 16);
    return Finish(w);
}

Bytes OriginationMessage(const AccessHeader& header, uint16_t serviceOption,
                         const std::string& digits) {
    BitWriter w = StartAccess(4, header);
    w.Msb(0, 1).Msb(2, 3).Msb(6, 8).Msb(0xEA, 8).Msb(0, 3);
    w.Msb(1, 1).Msb(serviceOption, 16);  // SPECIAL_SERVICE with its SERVICE_OPTION
    w.Msb(0, 1).Msb(0, 1).Msb(0, 1);     // PM, DIGIT_MODE 4-bit, MORE_FIELDS
    w.Msb(digits.size(), 8);
    for (char c : digits) {
        const int code = c == '0' ? 10 : c == '*' ? 11 : c == '#' ? 12 : c - '0';
        w.Msb(static_cast<uint64_t>(code), 4);
    }
    return Finish(w);
}

Bytes PilotStrengthMeasurementMessage(const TrafficHeader& header, uint16_t refPn,
                                      uint8_t refStrength, const std::vector<PilotReport>& others) {
    BitWriter w = StartTraffic(5, header);
    w.Msb(refPn, 9).Msb(refStrength, 6).Msb(1, 1);
    for (const PilotReport& p : others) {
        // PILOT_PN_PHASE in chips: 64 per PN offset, relative to the reference.
        w.Msb((static_cast<uint64_t>(p.pn) * 64) & 0x7FFF, 15).Msb(p.strength, 6).Msb(1, 1);
    }
    return Finish(w);
}

Bytes HandoffCompletionMessage(const TrafficHeader& header, uint8_t lastHdmSeq,
                               const std::vector<uint16_t>& pilots) {
    BitWriter w = StartTraffic(10, header);
    w.Msb(lastHdmSeq, 2);
    for (uint16_t pn : pilots) w.Msb(pn, 9);
    // The message length must announce exactly this many pilots: 43 + 9 P bits at most.
    Bytes bytes = Finish(w);
    bytes[0] = static_cast<uint8_t>((43 + 9 * pilots.size() + 7) / 8);
    return bytes;
}

Bytes ReverseOrderMessage(const TrafficHeader& header, uint8_t order, bool withQualifier,
                          uint8_t ordq) {
    BitWriter w = StartTraffic(1, header);
    w.Msb(order, 6);
    if (withQualifier) {
        w.Msb(1, 3).Msb(ordq, 8);
    } else {
        w.Msb(0, 3);
    }
    return Finish(w);
}

Bytes ForwardOrderMessage(const TrafficHeader& header, uint8_t order, uint8_t ordq) {
    BitWriter w = StartTraffic(1, header);
    w.Msb(0, 1).Msb(0, 6).Msb(order, 6).Msb(1, 3).Msb(ordq, 8);  // USE_TIME, ACTION_TIME
    return Finish(w);
}

Bytes ServiceConnectMessage(const TrafficHeader& header, uint16_t serviceOption) {
    BitWriter w = StartTraffic(20, header);
    w.Msb(0, 1).Msb(0, 6).Msb(0, 3).Msb(0, 1).Msb(0, 1).Msb(serviceOption, 16);
    return Finish(w);
}

Bytes AlertWithInformationMessage(const TrafficHeader& header, const std::string& callingNumber) {
    BitWriter w = StartTraffic(3, header);
    // Calling party number first: NUMBER_TYPE national, NUMBER_PLAN ISDN, presentation allowed,
    // network provided, the digits as characters, 5 reserved bits.
    w.Msb(3, 8).Msb(callingNumber.size() + 2, 8).Msb(2, 3).Msb(1, 4).Msb(0, 2).Msb(3, 2);
    for (char c : callingNumber) w.Msb(static_cast<uint8_t>(c), 8);
    w.Msb(0, 5);
    // Then the signal record: IS-54B alerting, medium pitch, long ring.
    w.Msb(5, 8).Msb(2, 8).Msb(2, 2).Msb(0, 2).Msb(1, 6).Msb(0, 6);
    return Finish(w);
}

Bytes ExtendedHandoffDirectionMessage(const TrafficHeader& header, uint8_t hdmSeq,
                                      const std::vector<HandoffPilot>& pilots) {
    BitWriter w = StartTraffic(17, header);
    w.Msb(0, 1).Msb(0, 6).Msb(hdmSeq, 2);
    w.Msb(1, 1).Msb(8, 4).Msb(28, 6).Msb(32, 6).Msb(5, 4).Msb(3, 4);  // search parameters
    w.Msb(0, 1);                                                      // EXTRA_PARMS
    for (const HandoffPilot& p : pilots) {
        w.Msb(p.pn, 9).Msb(p.combinedWithPrevious ? 1 : 0, 1).Msb(p.codeChannel, 8);
    }
    return Finish(w);
}

Bytes GeneralHandoffDirectionMessage(const TrafficHeader& header, uint8_t hdmSeq,
                                     const std::vector<HandoffPilot>& pilots,
                                     const uint16_t* newChannel) {
    BitWriter w = StartTraffic(31, header);
    w.Msb(0, 1).Msb(hdmSeq, 2).Msb(0, 1);  // USE_TIME, HDM_SEQ, SEARCH_INCLUDED
    w.Msb(newChannel != nullptr ? 1 : 0, 1);
    if (newChannel != nullptr) {
        w.Msb(6, 8).Msb(1, 8).Msb(3, 4);
        for (int i = 0; i < 4; ++i) w.Msb(0, 1);
        w.Msb(0, 2).Msb(0, 1).Msb(0, 4).Msb(0, 3).Msb(0, 5).Msb(*newChannel, 11);
        w.Msb(0, 1).Msb(0, 1).Msb(0, 1);
    }
    w.Msb(0, 1);  // no further assignment blocks
    w.Msb(pilots.size(), 3);
    for (const HandoffPilot& p : pilots) {
        w.Msb(p.pn, 9).Msb(p.combinedWithPrevious ? 1 : 0, 1).Msb(p.codeChannel, 8);
    }
    return Finish(w);
}

}  // namespace tessavo::sample
