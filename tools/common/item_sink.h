// Where decoded report items go: one sink per output (the chosen format, side files).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "code_counts.h"
#include "frame_scan.h"
#include "report_item_reader.h"

namespace tessavo::cli {

// What the run saw besides the items, for the summary.
struct RunStats {
    uint64_t inputBytes = 0;
    uint64_t items = 0;
    uint64_t decodeFailures = 0;  // decode calls that answered -1
    FrameCounts frames;           // the decoder's own frame scan (frame_scan.h)
    double wallSeconds = 0;       // duration of the run
    // Every item, whatever the filters, by the log code it came from; command responses.
    CodeCounts itemsByLogCode;
    uint64_t commandItems = 0;
    uint64_t libraryMessages = 0;           // lines the library wrote to standard output
    int stopSignal = 0;                     // SIGINT/SIGTERM that ended the run early, 0 if none
    std::vector<std::string> inputFormats;  // per input: "'name': what it held"
    uint64_t inputErrors = 0;  // inputs cut short or damaged (what came before was decoded)
    bool notDiag = false;      // an input whose frames (nearly) all fail their CRC check
};

class ItemSink {
  public:
    virtual ~ItemSink() = default;
    // Called right after each collection; the views in `item` die at the next decode call.
    virtual void Consume(const ItemView& item) = 0;
    virtual void Finish(const RunStats& stats) = 0;
    // What went wrong in Finish beyond writing the stream (empty if nothing).
    virtual std::string Error() const { return {}; }
};

}  // namespace tessavo::cli
