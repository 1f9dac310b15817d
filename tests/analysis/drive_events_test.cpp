// The event rules on hand-built message sequences, and on the bundled sample against the
// events its generator wrote.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "analysis_fixture.h"
#include "drive_test.h"
#include "item_time.h"
#include "log_records.h"
#include "ota_messages.h"

namespace tessavo::test {
namespace {

using sample::Bytes;

constexpr uint16_t kAccess = 0x1004, kReverse = 0x1005, kSync = 0x1006, kPaging = 0x1007,
                   kForward = 0x1008;
constexpr uint8_t kPRev = 6;

sample::CellIdentity Cell(uint16_t pn, uint16_t sid = 13824) {
    return sample::CellIdentity{sid, 1, 1201, pn, 283};
}

sample::TrafficHeader Header() {
    return sample::TrafficHeader{0, 0, 1};
}

// Idle on PN 168, channel 283, then a page answered (voice, service option 3) and connected.
std::vector<TimedRecord> ConnectedCall() {
    return {
        {0, kSync, sample::SyncChannelMessage(Cell(168), kPRev)},
        {100, kPaging, sample::SystemParametersMessage(Cell(168), 3)},
        {1000, kAccess, sample::PageResponseMessage({1, 10}, 3)},
        {1500, kForward, sample::ForwardOrderMessage(Header(), 16, 0)},  // acknowledgement
        {1900, kForward, sample::ServiceConnectMessage(Header(), 3)},
    };
}

std::vector<TimedRecord> With(std::vector<TimedRecord> records,
                              const std::vector<TimedRecord>& more) {
    records.insert(records.end(), more.begin(), more.end());
    return records;
}

Bytes Searcher(uint64_t /*ms*/, const std::vector<uint16_t>& active) {
    sample::SearcherReport r;
    r.channel = 283;
    r.rxDbm = -80;
    r.onTraffic = true;
    for (uint16_t pn : active) r.fingers.push_back({pn, -8.0});
    return sample::SearcherRecord102D(r, active);
}

// 0x106E: transaction, flags, outcome (low 4 bits), duration, success / failure / attempt
// counts since power-up, pilot PN, sector ID (24 bits), colour code, one spare byte.
Bytes ConnectionAttempt(uint8_t transaction, uint8_t outcome, uint32_t successes,
                        uint32_t failures, uint16_t pn) {
    Bytes b;
    sample::PutU8(b, transaction);
    sample::PutU8(b, 0);
    sample::PutU8(b, outcome);
    sample::PutU16(b, 200);
    sample::PutU32(b, successes);
    sample::PutU32(b, failures);
    sample::PutU32(b, successes + failures);
    sample::PutU16(b, pn);
    sample::PutU16(b, 0x5001);
    sample::PutU8(b, 2);
    sample::PutU8(b, 239);
    sample::PutU8(b, 0);
    return b;
}

struct Sequence {
    const char* name;
    std::vector<TimedRecord> records;
    std::vector<std::string> events;
};

TEST(DriveEvents, FollowHandBuiltSequences) {
    const std::string attempt = "call_attempt: page response, service option 3";
    const std::string assigned = "channel_assignment: traffic channel (no assignment logged)";
    const std::string connected = "call_setup_success: service connect";
    const std::vector<Sequence> sequences = {
        {"successful call",
         With(ConnectedCall(),
              {{5000, kForward, sample::ForwardOrderMessage(Header(), 21, 0)},
               {5100, kReverse, sample::ReverseOrderMessage(Header(), 21, true, 0)},
               {5700, kSync, sample::SyncChannelMessage(Cell(168), kPRev)}}),
         {attempt, assigned, connected, "call_release: release order from the network"}},
        {"access failure: no traffic channel within the timeout",
         {{0, kSync, sample::SyncChannelMessage(Cell(168), kPRev)},
          {1000, kAccess, sample::OriginationMessage({1, 10}, 33, "#777")},
          {6120, kPaging, sample::SystemParametersMessage(Cell(168), 3)},
          {17000, kPaging, sample::SystemParametersMessage(Cell(168), 3)}},
         {"call_attempt: origination, service option 33",
          "call_setup_failure: access failure (no acknowledgement)"}},
        {"reorder before service connect",
         {{1000, kAccess, sample::PageResponseMessage({1, 10}, 3)},
          {1500, kForward, sample::ForwardOrderMessage(Header(), 16, 0)},
          {1800, kForward, sample::ForwardOrderMessage(Header(), 4, 0)}},
         {attempt, assigned, "call_setup_failure: reorder"}},
        {"drop: back on the sync channel without a release",
         With(ConnectedCall(), {{9000, kSync, sample::SyncChannelMessage(Cell(252), kPRev)}}),
         {attempt, assigned, connected,
          "call_drop: back on the idle channels without a release"}},
        {"soft handoffs: a pilot added, then the first dropped",
         With(ConnectedCall(),
              {{3000, 0x102D, Searcher(3000, {168})},
               {3900, kReverse, sample::HandoffCompletionMessage(Header(), 1, {168, 252})},
               {4000, 0x102D, Searcher(4000, {168, 252})},
               {4900, kReverse, sample::HandoffCompletionMessage(Header(), 2, {252})},
               {5000, 0x102D, Searcher(5000, {252})}}),
         {attempt, assigned, connected, "soft_handoff_add: PN 252 added; active set 168 252",
          "soft_handoff_drop: PN 168 dropped; active set 252"}},
        {"hard handoff to channel 384",
         [] {
             const uint16_t channel = 384;
             return With(ConnectedCall(),
                         {{3000, kForward,
                           sample::GeneralHandoffDirectionMessage(Header(), 1, {{168, false, 20}},
                                                                  &channel)}});
         }(),
         {attempt, assigned, connected, "hard_handoff: channel 283 -> 384"}},
        {"idle handoff, then a system change",
         {{0, kSync, sample::SyncChannelMessage(Cell(168), kPRev)},
          {100, kPaging, sample::SystemParametersMessage(Cell(168), 3)},
          {5220, kPaging, sample::SystemParametersMessage(Cell(252), 3)},
          {10340, kPaging, sample::SystemParametersMessage(Cell(252, 13825), 3)}},
         {"idle_handoff: PN 168 -> 252", "system_change: SID 13824 NID 1 -> SID 13825 NID 1"}},
        {"EV-DO connection, a failed one, a release",
         {{1000, 0x106E, ConnectionAttempt(1, 15, 1, 0, 78)},
          {3000, 0x1071, Bytes{1}},
          {5000, 0x106E, ConnectionAttempt(2, 2, 1, 1, 33)}},
         {"do_connection_success: PN 78", "do_connection_release: reason 1",
          "do_connection_failure: outcome 2, PN 33"}},
    };
    for (const Sequence& sequence : sequences) {
        SCOPED_TRACE(sequence.name);
        std::vector<std::string> found;
        for (const cli::DriveEvent& event : Analyse(Capture(sequence.records)).events) {
            found.push_back(Describe(event));
        }
        EXPECT_EQ(found, sequence.events);
    }
}

// The sample holds the events its generator wrote, no more: same names in the same order, each
// within a second of the message that completes it (soft handoffs show in the next pilot
// table, every half second).
TEST(DriveEvents, FindExactlyTheSampleEvents) {
    std::ifstream in(TESSAVO_SAMPLE_FILE, std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(bytes.empty());
    const Analysed analysed = Analyse(bytes);
    const std::vector<sample::SampleEvent> expected = sample::MakeDriveTest().ledger.events;
    ASSERT_EQ(analysed.events.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].name + " at " + std::to_string(expected[i].ms) + " ms");
        EXPECT_EQ(cli::InfoOf(analysed.events[i].kind).name, expected[i].name);
        const double found = cli::SecondsBetween(analysed.events[0].time, analysed.events[i].time);
        const double planned = static_cast<double>(expected[i].ms - expected[0].ms) / 1000.0;
        EXPECT_GE(found, planned - 0.01);
        EXPECT_LE(found, planned + 1.0);
        EXPECT_NE(analysed.events[i].details.find(expected[i].details), std::string::npos);
    }
}

}  // namespace
}  // namespace tessavo::test
