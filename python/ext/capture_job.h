// One capture of a campaign decoded into a file by the tools' own writers (the CLI's CSV or
// JSONL), with the counts its summary row needs. Python reads the file (decompressing it)
// and hands the bytes over; everything else runs without the interpreter lock, so several
// captures decode at once on the threads of one worker.
#pragma once

#include <pybind11/pybind11.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "code_counts.h"
#include "decode_options.h"
#include "decoder_session.h"
#include "frame_scan.h"
#include "item_sink.h"
#include "item_time.h"

namespace tessavo::python {

class CaptureJob {
  public:
    // `format` is "csv" (wide, the columns the capture sets) or "jsonl".
    CaptureJob(const std::string& output, const std::string& format, uint32_t module);

    void Feed(pybind11::buffer data);
    // Ends the input, finishes the file and returns the summary counts.
    pybind11::dict Finish();

  private:
    cli::CliOptions options_;
    cli::ItemFilter filter_;
    cli::ItemClock clock_;
    std::ofstream out_;
    std::unique_ptr<cli::ItemSink> sink_;
    cli::FrameScanner scanner_;
    cli::CodeCounts byLogCode_;
    uint64_t commands_ = 0;
    uint64_t bytes_ = 0;
    bool timed_ = false;
    ItemTime first_{}, last_{};
    std::ostringstream messages_;
    cli::DecoderSession session_;
};

void DefineCaptureJob(pybind11::module_& module);

}  // namespace tessavo::python
