// Hand-built captures for the drive analysis: timed log records framed as a handset sends
// them, decoded by the library through the tools' decoder session, fed to the analysis.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "diag_frame_writer.h"
#include "drive_kpis.h"

namespace tessavo::test {

struct TimedRecord {
    uint64_t ms;  // from the start of the capture
    uint16_t logCode;
    sample::Bytes payload;
};

sample::Bytes Capture(const std::vector<TimedRecord>& records);

// Decodes the capture as the tools do, each item to `consume`.
void Decode(const sample::Bytes& capture, const std::function<void(const cli::ItemView&)>& consume);

struct Analysed {
    std::vector<cli::DriveEvent> events;
    cli::KpiReport kpis;
};
Analysed Analyse(const sample::Bytes& capture, cli::KpiOptions options = {});

// "call_attempt: page response, service option 3"
std::string Describe(const cli::DriveEvent& event);

}  // namespace tessavo::test
