#include "drive_test.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "drive_track.h"
#include "evdo_sectors.h"
#include "evdo_session.h"
#include "log_records.h"
#include "ota_messages.h"
#include "sample_random.h"

namespace tessavo::sample {
namespace {

constexpr uint64_t kTicksPerSecond = 800;  // 1.25 ms each
// 2024-05-14 02:00:00 UTC (10:00 in UTC+8), counted from the DIAG epoch 1980-01-06 00:00 UTC.
constexpr uint64_t kStartTicks = 1399687200ull * kTicksPerSecond;
constexpr uint64_t kSeed = 0x7E55A0D21A5EED01ull;

// Milliseconds to ticks; every time in the plan is a multiple of 5 ms, so this is exact.
constexpr uint64_t Ms(uint64_t ms) {
    return ms * 4 / 5;
}

constexpr uint64_t kEndMs = 240000;
constexpr uint64_t kSearchStepMs = 250;  // searcher report cadence, twice the 0x119A sampling

constexpr uint16_t kSid = 13824;
constexpr uint16_t kNid = 1;
constexpr uint16_t kFirstChannel = 283;
constexpr uint16_t kSecondChannel = 384;
constexpr uint8_t kPRev = 6;
constexpr double kNoiseFloorDbm = -106.0;
constexpr double kPilotShareDb = -6.0;  // pilot power over total transmitted power
constexpr double kTAddDb = -14.0;
constexpr double kTDropDb = -16.0;

struct Site {
    uint16_t pn;
    uint16_t baseId;
    double x;  // metres along the road
    double y;  // metres off the road
};
constexpr Site kSites[] = {
    {168, 1201, 300.0, 420.0},
    {252, 1202, 1800.0, -380.0},
    {336, 1203, 3300.0, 450.0},
    {420, 1204, 4600.0, -500.0},
};
constexpr int kSiteCount = 4;

// Two calls: a voice call the network pages the handset for, and a data call it originates.
struct CallPlan {
    bool data;
    uint64_t accessMs;  // page response or origination
    uint64_t startMs;   // first forward traffic message
    uint64_t endMs;     // release order
};
constexpr CallPlan kVoiceCall{false, 40000, 40500, 88000};
constexpr CallPlan kDataCall{true, 120000, 120600, 226000};
constexpr uint64_t kHardHandoffMs = 170000;
constexpr const char* kCallingNumber = "13900001234";
constexpr const char* kDialledDigits = "#777";

// Signal levels as a function of time only, so that every stream sees the same radio
// conditions whatever order the streams are written in.
class RadioModel {
  public:
    explicit RadioModel(SampleRandom& random) {
        const size_t steps = kEndMs / kSearchStepMs + 2;
        shadow_.assign(steps * kSiteCount, 0.0);
        gainAdj_.assign(steps, 0.0);
        double shade[kSiteCount] = {};
        double gain = 0.0;
        for (size_t s = 0; s < steps; ++s) {
            for (int i = 0; i < kSiteCount; ++i) {
                shade[i] = 0.97 * shade[i] + random.Symmetric(0.9);  // slow shadowing, ~4 dB
                shadow_[s * kSiteCount + i] = shade[i];
            }
            gain = 0.9 * gain + random.Symmetric(0.6);
            gainAdj_[s] = gain;
        }
    }

    static double PositionM(uint64_t ms) { return 20.0 + 15.0 * static_cast<double>(ms) / 1000.0; }

    static uint16_t Channel(uint64_t ms) {
        return ms < kHardHandoffMs ? kFirstChannel : kSecondChannel;
    }

    // Total power received from a site, dBm: 43 dBm transmitted, 7 dB of cable, body and car
    // losses, urban path loss over the distance.
    double SiteDbm(int site, uint64_t ms) const {
        const double dx = PositionM(ms) - kSites[site].x;
        const double dy = kSites[site].y;
        const double km = std::max(std::sqrt(dx * dx + dy * dy), 50.0) / 1000.0;
        return 36.0 - (128.1 + 37.6 * std::log10(km)) + shadow_[Step(ms) * kSiteCount + site];
    }

    double TotalDbm(uint64_t ms) const {
        double mw = std::pow(10.0, kNoiseFloorDbm / 10.0);
        for (int i = 0; i < kSiteCount; ++i) mw += std::pow(10.0, SiteDbm(i, ms) / 10.0);
        return 10.0 * std::log10(mw);
    }

    // What the receive AGC reports; the front end saturates above -64 dBm in this handset.
    double RxDbm(uint64_t ms) const { return std::clamp(TotalDbm(ms), -104.0, -64.0); }

    double EcioDb(int site, uint64_t ms) const {
        return std::clamp(kPilotShareDb + SiteDbm(site, ms) - TotalDbm(ms), -31.0, -2.0);
    }

    // Closed-loop correction on top of the open-loop estimate, dB.
    double GainAdjDb(uint64_t ms) const { return gainAdj_[Step(ms)]; }

    // Open-loop transmit power for band class 0 (-73 dB constant) plus the correction.
    double TxDbm(uint64_t ms) const {
        return std::clamp(-73.0 - RxDbm(ms) + GainAdjDb(ms), -50.0, 23.0);
    }

    std::vector<int> Ranked(uint64_t ms) const {
        std::vector<int> order{0, 1, 2, 3};
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return EcioDb(a, ms) > EcioDb(b, ms); });
        return order;
    }

  private:
    static size_t Step(uint64_t ms) { return static_cast<size_t>(ms / kSearchStepMs); }

    std::vector<double> shadow_;
    std::vector<double> gainAdj_;
};

CellIdentity Cell(int site, uint64_t ms) {
    return CellIdentity{kSid, kNid, kSites[site].baseId, kSites[site].pn, RadioModel::Channel(ms)};
}

// Collects frames with their times and writes them in time order.
class CaptureWriter {
  public:
    void Log(uint64_t ms, uint16_t logCode, const Bytes& payload, bool throttled = false) {
        const Bytes packet = LogPacket(logCode, kStartTicks + Ms(ms), payload);
        Bytes wire;
        AppendFrame(wire, packet);
        Add(ms, std::move(wire));
        FrameTally& tally = ledger_.logs[logCode];
        ++tally.frames;
        if (throttled) ++tally.throttled;
        if (logCode == 0x1036 || logCode == 0x1037) {
            const uint8_t counts = payload[1 + payload[0] + 2];
            tally.itemsPerFrame = 1 + (counts >> 4) + (counts & 0x0F);
        }
    }

    void Command(uint64_t ms, uint8_t command, const Bytes& body) {
        Bytes wire;
        AppendFrame(wire, CommandPacket(command, body));
        Add(ms, std::move(wire));
        ++ledger_.commands[command].frames;
    }

    // A log frame hit by a line error: one payload bit flipped.
    void Damaged(uint64_t ms, uint16_t logCode, const Bytes& payload, SampleRandom& random) {
        const Bytes packet = LogPacket(logCode, kStartTicks + Ms(ms), payload);
        const auto at =
            static_cast<size_t>(random.Range(16, static_cast<int64_t>(packet.size()) - 1));
        Bytes wire;
        AppendDamagedFrame(wire, packet, at, static_cast<int>(random.Range(0, 7)));
        Add(ms, std::move(wire));
        ++ledger_.damagedFrames;
    }

    // Bytes that belong to no frame (a capture that starts mid-frame, a port glitch), closed
    // by the next 0x7E. Never 0x7E inside; never 0x10 first, which would read as a log header.
    void Junk(uint64_t ms, int length, SampleRandom& random) {
        Bytes wire;
        for (int i = 0; i < length; ++i) {
            auto b = static_cast<uint8_t>(random.Range(0, 255));
            if (b == 0x7E || (i == 0 && b == 0x10)) b = 0x5A;
            wire.push_back(b);
        }
        wire.push_back(0x7E);
        Add(ms, std::move(wire));
        ++ledger_.junkRuns;
    }

    void Event(uint64_t ms, std::string name, std::string details) {
        ledger_.events.push_back(SampleEvent{ms, std::move(name), std::move(details)});
    }

    void BareFlag(uint64_t ms) {
        Add(ms, Bytes{0x7E});
        ++ledger_.bareFlags;
    }

    DriveTestCapture Finish() {
        std::stable_sort(pieces_.begin(), pieces_.end(),
                         [](const Piece& a, const Piece& b) { return a.ms < b.ms; });
        DriveTestCapture capture;
        for (const Piece& p : pieces_) {
            capture.bytes.insert(capture.bytes.end(), p.wire.begin(), p.wire.end());
        }
        std::stable_sort(ledger_.events.begin(), ledger_.events.end(),
                         [](const SampleEvent& a, const SampleEvent& b) { return a.ms < b.ms; });
        ledger_.firstTicks = kStartTicks;
        ledger_.lastTicks = kStartTicks + Ms(pieces_.back().ms);
        capture.ledger = ledger_;
        return capture;
    }

  private:
    struct Piece {
        uint64_t ms;
        Bytes wire;
    };

    void Add(uint64_t ms, Bytes wire) { pieces_.push_back(Piece{ms, std::move(wire)}); }

    std::vector<Piece> pieces_;
    SampleLedger ledger_;
};

bool InCall(uint64_t ms, const CallPlan& call) {
    return ms >= call.accessMs && ms < call.endMs + 500;
}

bool Idle(uint64_t ms) {
    return !InCall(ms, kVoiceCall) && !InCall(ms, kDataCall);
}

// Sequence numbers of the layer-2 exchange on the traffic channel.
struct TrafficLink {
    uint8_t forwardSeq = 0;
    uint8_t reverseSeq = 0;
    uint8_t hdmSeq = 0;

    TrafficHeader Forward() {
        TrafficHeader h{reverseSeq, forwardSeq, 1};
        forwardSeq = static_cast<uint8_t>((forwardSeq + 1) & 7);
        return h;
    }
    TrafficHeader Reverse() {
        TrafficHeader h{forwardSeq, reverseSeq, 1};
        reverseSeq = static_cast<uint8_t>((reverseSeq + 1) & 7);
        return h;
    }
};

class DriveTest {
  public:
    DriveTest() : random_(kSeed), radio_(random_) {}

    DriveTestCapture Write() {
        writer_.Junk(0, 23, random_);
        WriteIdle();
        WriteCall(kVoiceCall);
        WriteCall(kDataCall);
        WriteSearcherGrid();
        WriteCommands();
        WriteLineErrors();
        for (const TimedLog& log : EvdoSessionLogs()) writer_.Log(log.ms, log.logCode, log.payload);
        WritePositionFixes();
        writer_.Event(kEvdoHandoffMs, "do_serving_change", "PN 120 -> 240");
        return writer_.Finish();
    }

  private:
    // Pilot strength as the handset reports it: -2 × Ec/Io in 0.5 dB steps, 6 bits.
    static uint8_t Strength(double ecio) {
        return static_cast<uint8_t>(std::clamp<long>(std::lround(-2.0 * ecio), 0, 62));
    }

    std::vector<Finger> Fingers(uint64_t ms, const std::vector<int>& sites) {
        std::vector<Finger> fingers;
        for (int s : sites) {
            fingers.push_back(Finger{kSites[s].pn, radio_.EcioDb(s, ms) + random_.Symmetric(0.75)});
        }
        return fingers;
    }

    // The active set in force at `ms`, from the handoffs decided so far; empty outside calls.
    std::vector<int> ActiveAt(uint64_t ms) const {
        std::vector<int> sites;
        for (const auto& [at, set] : activeHistory_) {
            if (at <= ms) sites = set;
        }
        return sites;
    }

    // The sites a finger tracks: the active set on traffic; in idle, the serving pilot and
    // whatever else is above -15 dB.
    std::vector<int> TrackedSites(uint64_t ms) const {
        std::vector<int> sites = ActiveAt(ms);
        if (!sites.empty()) return sites;
        for (int s : radio_.Ranked(ms)) {
            if (sites.empty() || (radio_.EcioDb(s, ms) > -15.0 && sites.size() < 3)) {
                sites.push_back(s);
            }
        }
        return sites;
    }

    SearcherReport Report(uint64_t ms) {
        SearcherReport r;
        r.channel = RadioModel::Channel(ms);
        r.rxDbm = radio_.RxDbm(ms) + random_.Symmetric(0.5);
        r.onTraffic = OnTraffic(ms);
        r.txDbm = radio_.TxDbm(ms);
        r.gainAdjDb = radio_.GainAdjDb(ms);
        r.fingers = Fingers(ms, TrackedSites(ms));
        return r;
    }

    static bool OnTraffic(uint64_t ms) {
        for (const CallPlan& c : {kVoiceCall, kDataCall}) {
            if (ms >= c.startMs && ms < c.endMs) return true;
        }
        return false;
    }

    // 0x119A every 250 ms for the whole drive: the library samples it every 500 ms, so every
    // second report is refused by design. Written after the calls, whose handoffs it follows.
    void WriteSearcherGrid() {
        uint64_t index = 0;
        for (uint64_t ms = 100; ms < kEndMs; ms += kSearchStepMs, ++index) {
            writer_.Log(ms, 0x119A, SearcherRecord119A(Report(ms)), index % 2 == 1);
        }
    }

    void WriteIdle() {
        writer_.Log(50, 0x1006, SyncChannelMessage(Cell(radio_.Ranked(50)[0], 50), kPRev));
        uint8_t configSeq = 3;
        for (uint64_t wake = 300; wake < kEndMs; wake += 5120) {
            if (!Idle(wake) || !Idle(wake + 170)) continue;
            const int serving = radio_.Ranked(wake)[0];
            const CellIdentity cell = Cell(serving, wake);
            writer_.Log(wake, 0x1007, SystemParametersMessage(cell, configSeq));
            writer_.Log(wake + 85, 0x1007, AccessParametersMessage(cell, 5));
            writer_.Log(wake + 170, 0x1007,
                        ExtendedSystemParametersMessage(cell, configSeq, kPRev));
        }
        // Back on the paging channel after each call: sync channel first.
        for (const CallPlan& c : {kVoiceCall, kDataCall}) {
            const uint64_t at = c.endMs + 600;
            writer_.Log(at, 0x1006, SyncChannelMessage(Cell(radio_.Ranked(at)[0], at), kPRev));
        }
    }

    void WriteCall(const CallPlan& call) {
        TrafficLink link;
        const uint64_t t = call.startMs;
        const int serving = radio_.Ranked(call.accessMs)[0];
        const AccessHeader access{1, Strength(radio_.EcioDb(serving, call.accessMs))};
        if (call.data) {
            writer_.Log(call.accessMs, 0x1004, OriginationMessage(access, 33, kDialledDigits));
        } else {
            writer_.Log(call.accessMs - 400, 0x1007, GeneralPageMessage(3, 5));
            writer_.Log(call.accessMs, 0x1004, PageResponseMessage(access, 3));
        }
        writer_.Event(call.accessMs, "call_attempt", call.data ? "origination" : "page response");
        active_ = {serving};
        activeHistory_.emplace_back(t, active_);
        // No channel assignment message is logged: the first traffic message shows it.
        writer_.Event(t, "channel_assignment", "");
        writer_.Event(t + 400, "call_setup_success", "");

        writer_.Log(t, 0x1008, ForwardOrderMessage(link.Forward(), 16, 0));  // BS acknowledgement
        writer_.Log(t + 100, 0x1005, ReverseOrderMessage(link.Reverse(), 16, false, 0));
        writer_.Log(t + 400, 0x1008, ServiceConnectMessage(link.Forward(), call.data ? 33 : 3));
        writer_.Command(t + 500, 0x60,
                        EventReportBody(kStartTicks + Ms(t + 500), call.data ? 4 : 2));
        if (!call.data) {
            writer_.Log(t + 900, 0x1008,
                        AlertWithInformationMessage(link.Forward(), kCallingNumber));
            writer_.Log(t + 6000, 0x1005, ReverseOrderMessage(link.Reverse(), 24, false, 0));
        }

        LinkCounters rlp;
        rlp.resetTicks = kStartTicks + Ms(t);
        ThroughputCounters ppp;
        ppp.resetTicks = rlp.resetTicks;
        uint64_t packedIndex = 0;

        for (uint64_t sec = t + 1000; sec + 1000 <= call.endMs; sec += 1000) {
            WriteFrameStatistics(sec, call.data);
            if (call.data) {
                WriteDataCounters(sec, sec == t + 1000, rlp, ppp);
                if ((sec - t) % 15000 == 10000) {
                    const bool first = (packedIndex++ % 2) == 0;
                    writer_.Log(sec + 600, first ? 0x1036 : 0x1037,
                                PackedRecord(first ? 2 : 1, first ? 1 : 0,
                                             static_cast<uint32_t>(random_.Next())));
                }
            }
            if (call.data && sec <= kHardHandoffMs && kHardHandoffMs < sec + 1000) {
                HardHandoff(link);
            } else {
                UpdateActiveSet(sec + 700, link, call.data);
            }
        }

        writer_.Log(call.endMs, 0x1008, ForwardOrderMessage(link.Forward(), 21, 0));  // release
        writer_.Event(call.endMs, "call_release", "");
        writer_.Log(call.endMs + 100, 0x1005, ReverseOrderMessage(link.Reverse(), 21, true, 0));
        writer_.Command(call.endMs + 150, 0x60, EventReportBody(kStartTicks + Ms(call.endMs), 0));
        activeHistory_.emplace_back(call.endMs, std::vector<int>{});
    }

    void WriteFrameStatistics(uint64_t sec, bool data) {
        const double rx = radio_.RxDbm(sec);
        // Frame errors grow as the signal fades below -95 dBm.
        const double errorChance = 0.01 + std::max(0.0, -95.0 - rx) * 0.01;
        for (uint16_t code : {uint16_t{0x1025}, uint16_t{0x1026}}) {
            std::vector<uint16_t> erased;
            for (int f = 0; f < 50; ++f) erased.push_back(random_.Unit() < errorChance ? 1 : 0);
            writer_.Log(sec + (code == 0x1025 ? 50 : 60), code, FrameEntryRecord(erased));
        }
        std::vector<uint8_t> rates;
        for (int f = 0; f < 50; ++f) {
            const double u = random_.Unit();
            // Voice: speech at full rate, pauses at eighth rate. Data: bursts at full rate.
            rates.push_back(data ? (u < 0.7 ? 0 : 3)
                                 : (u < 0.40   ? 0
                                    : u < 0.50 ? 1
                                    : u < 0.55 ? 2
                                               : 3));
        }
        writer_.Log(sec + 100, 0x1029, RateShareRecord(rates));
        std::vector<int8_t> setpoint;
        for (int f = 0; f < 50; ++f) {
            setpoint.push_back(
                static_cast<int8_t>(std::lround(8.0 * (7.0 + random_.Symmetric(1.5)))));
        }
        writer_.Log(sec + 150, 0x102B, ChannelAverageRecord(setpoint));
        writer_.Log(sec + 200, 0x102C,
                    ChannelPowerRecord(rx, radio_.TxDbm(sec + 200), radio_.GainAdjDb(sec + 200)));
        std::vector<uint16_t> activePns;
        for (int s : active_) activePns.push_back(kSites[s].pn);
        SearcherReport r = Report(sec + 350);
        r.fingers = Fingers(sec + 350, active_);
        writer_.Log(sec + 350, 0x102D, SearcherRecord102D(r, activePns));
    }

    // Forward throughput follows the signal: about 120 kbit/s close to a site, less at the
    // cell edge. The first second after connection is a slow start of exactly 2000 bytes.
    void WriteDataCounters(uint64_t sec, bool first, LinkCounters& rlp, ThroughputCounters& ppp) {
        uint32_t forward = 1500;
        uint32_t reverse = 400;
        if (!first) {
            const double rx = radio_.RxDbm(sec);
            forward =
                sec == kDataCall.startMs + 2000
                    ? 2000
                    : static_cast<uint32_t>(std::clamp(
                          14500.0 - 250.0 * std::max(0.0, -80.0 - rx) + random_.Symmetric(1200.0),
                          2500.0, 15500.0));
            reverse = static_cast<uint32_t>(900 + random_.Range(0, 1500));
        }
        const auto resent = static_cast<uint32_t>(forward / 100 * random_.Range(0, 3) / 2);
        rlp.forwardBytes += forward;
        rlp.reverseBytes += reverse;
        rlp.frames += 50;
        rlp.naks += static_cast<uint32_t>(random_.Range(0, 2));
        rlp.retransmitted += static_cast<uint32_t>(random_.Range(0, 2));
        rlp.firstTime += 48;
        writer_.Log(sec + 450, 0x1031, LinkCounterRecord(rlp));

        ppp.forwardBytes += forward;
        ppp.forwardResent += resent;
        ppp.forwardDuplicate += resent / 4;
        ppp.reverseBytes += reverse;
        ppp.reverseResent += reverse / 200;
        writer_.Log(sec + 500, 0x1070, ThroughputRecord(ppp));
    }

    // Soft handoff: pilots above T_ADD join, pilots below T_DROP leave (at most three, never
    // none). The handset reports, the base station directs, the handset completes.
    void UpdateActiveSet(uint64_t ms, TrafficLink& link, bool general) {
        std::vector<int> next;
        for (int s : radio_.Ranked(ms)) {
            const bool member = std::find(active_.begin(), active_.end(), s) != active_.end();
            const double ecio = radio_.EcioDb(s, ms);
            if (next.size() < 3 &&
                (next.empty() || ecio > kTAddDb || (member && ecio > kTDropDb))) {
                next.push_back(s);
            }
        }
        std::vector<int> sortedNext = next;
        std::vector<int> sortedActive = active_;
        std::sort(sortedNext.begin(), sortedNext.end());
        std::sort(sortedActive.begin(), sortedActive.end());
        if (sortedNext == sortedActive) return;

        const int ref = next[0];
        std::vector<PilotReport> others;
        for (size_t i = 1; i < next.size(); ++i) {
            others.push_back(PilotReport{kSites[next[i]].pn, Strength(radio_.EcioDb(next[i], ms))});
        }
        writer_.Log(ms, 0x1005,
                    PilotStrengthMeasurementMessage(link.Reverse(), kSites[ref].pn,
                                                    Strength(radio_.EcioDb(ref, ms)), others));
        std::vector<HandoffPilot> pilots;
        std::vector<uint16_t> pns;
        for (size_t i = 0; i < next.size(); ++i) {
            pilots.push_back(HandoffPilot{kSites[next[i]].pn, false, static_cast<uint8_t>(10 + i)});
            pns.push_back(kSites[next[i]].pn);
        }
        link.hdmSeq = static_cast<uint8_t>((link.hdmSeq + 1) & 3);
        writer_.Log(
            ms + 150, 0x1008,
            general ? GeneralHandoffDirectionMessage(link.Forward(), link.hdmSeq, pilots, nullptr)
                    : ExtendedHandoffDirectionMessage(link.Forward(), link.hdmSeq, pilots));
        writer_.Log(ms + 290, 0x1005, HandoffCompletionMessage(link.Reverse(), link.hdmSeq, pns));
        for (int s : sortedNext) {
            if (!std::binary_search(sortedActive.begin(), sortedActive.end(), s)) {
                writer_.Event(ms + 290, "soft_handoff_add", "PN " + std::to_string(kSites[s].pn));
            }
        }
        for (int s : sortedActive) {
            if (!std::binary_search(sortedNext.begin(), sortedNext.end(), s)) {
                writer_.Event(ms + 290, "soft_handoff_drop", "PN " + std::to_string(kSites[s].pn));
            }
        }
        active_ = next;
        activeHistory_.emplace_back(ms + 290, active_);
    }

    // The network moves the call to the second carrier, same pilots.
    void HardHandoff(TrafficLink& link) {
        std::vector<HandoffPilot> pilots;
        std::vector<uint16_t> pns;
        for (size_t i = 0; i < active_.size(); ++i) {
            pilots.push_back(
                HandoffPilot{kSites[active_[i]].pn, false, static_cast<uint8_t>(20 + i)});
            pns.push_back(kSites[active_[i]].pn);
        }
        link.hdmSeq = static_cast<uint8_t>((link.hdmSeq + 1) & 3);
        const uint16_t channel = kSecondChannel;
        writer_.Log(kHardHandoffMs - 100, 0x1008,
                    GeneralHandoffDirectionMessage(link.Forward(), link.hdmSeq, pilots, &channel));
        writer_.Event(kHardHandoffMs - 100, "hard_handoff",
                      "channel " + std::to_string(kFirstChannel) + " -> " +
                          std::to_string(kSecondChannel));
        writer_.Log(kHardHandoffMs + 200, 0x1005,
                    HandoffCompletionMessage(link.Reverse(), link.hdmSeq, pns));
    }

    PilotSetsStatus SetsAt(uint64_t ms) {
        PilotSetsStatus s;
        const std::vector<int> tracked = TrackedSites(ms);
        for (int site = 0; site < kSiteCount; ++site) {
            const auto entry =
                std::make_pair(kSites[site].pn, uint16_t{Strength(radio_.EcioDb(site, ms))});
            const bool isActive =
                site == tracked[0] ||
                (!Idle(ms) && std::find(tracked.begin(), tracked.end(), site) != tracked.end());
            (isActive ? s.active : s.neighbour).push_back(entry);
        }
        s.neighbour.emplace_back(uint16_t{504}, uint16_t{63});  // listed, never measured
        return s;
    }

    // The handset's position log once a second, at the GPS track's times, from 1 s to the
    // last whole second of the EV-DO session.
    void WritePositionFixes() {
        for (uint64_t ms = 1000; ms < kEvdoEndMs; ms += 1000) {
            const RoadPoint at = RoadPointAt(ms);
            writer_.Log(ms, 0x1014, PositionRecord(at.latitude, at.longitude));
        }
    }

    void WriteCommands() {
        writer_.Command(2000, 0x73, StatusFlagBody(1, 0));
        writer_.Command(150250, 0x73, StatusFlagBody(2, 5));
        const std::pair<uint64_t, uint32_t> states[] = {
            {3000, 1}, {41000, 3}, {121000, 3}, {230000, 1}};
        for (const auto& [ms, state] : states) writer_.Command(ms, 0x4B, SubsystemStateBody(state));
        for (uint64_t ms : {5000u, 64000u, 150500u, 235000u}) {
            writer_.Command(ms, 0x40, PilotSetsStatusBody(SetsAt(ms)));
        }
    }

    void WriteLineErrors() {
        writer_.Damaged(12310, 0x1007, SystemParametersMessage(Cell(0, 12310), 3), random_);
        writer_.Damaged(47130, 0x119A, SearcherRecord119A(Report(47130)), random_);
        writer_.Damaged(77770, 0x102C, ChannelPowerRecord(-80.0, 5.0, 0.5), random_);
        ThroughputCounters stale;
        stale.forwardBytes = 123456;
        writer_.Damaged(133330, 0x1070, ThroughputRecord(stale), random_);
        writer_.Damaged(181910, 0x102D, SearcherRecord102D(Report(181910), {252}), random_);
        writer_.Damaged(231030, 0x1007, AccessParametersMessage(Cell(2, 231030), 5), random_);
        writer_.Junk(58800, 9, random_);
        writer_.Junk(140200, 31, random_);
        writer_.Junk(205500, 14, random_);
        writer_.BareFlag(100000);
        writer_.BareFlag(199900);
    }

    SampleRandom random_;
    RadioModel radio_;
    CaptureWriter writer_;
    std::vector<int> active_;  // live active set while a call is written
    std::vector<std::pair<uint64_t, std::vector<int>>> activeHistory_;
};

}  // namespace

double DrivePositionM(uint64_t ms) {
    return RadioModel::PositionM(ms);
}

uint64_t CaptureStamp(uint64_t ms) {
    return (kStartTicks + Ms(ms)) << 16;
}

DriveTestCapture MakeDriveTest() {
    return DriveTest().Write();
}

}  // namespace tessavo::sample
