// One decoder object for Python: bytes in, items (tessavo.Item objects) or columns out.
//
// Decoding is eager: a feed decodes all its bytes at once and keeps what it yields until it
// is taken, so items never depend on how the caller iterates. End of input (finish) lets
// the library decode what it kept and fetches the last packet's DTLog text.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "columnar_batch.h"
#include "decoder_session.h"
#include "item_builder.h"

namespace tessavo::python {

struct SessionOptions {
    uint32_t module = cli::kDefaultModuleType;
    bool reencode = false, outFile = false, dtlog = false;
    bool wholeBuffer = false, wholeFrame = false;
    bool inherited = false;
    std::vector<std::string> blocks;  // for items
    // Item filter of the columns (the CLI's --log-code, --params, --decoded-only).
    std::vector<uint16_t> logCodes;
    std::vector<std::string> params;
    bool decodedOnly = false;
};

class PySession {
  public:
    // With `itemType`, items are built as its instances; with None, as columns.
    PySession(const SessionOptions& options, py::object itemType);

    // Decodes `data` (any bytes-like object). In the whole-buffer and whole-frame modes it
    // is one frame with its closing 0x7E. Items mode: the items it yielded.
    py::list Feed(py::buffer data, int32_t hostSeconds, int32_t hostMicros);
    // End of input: the items still kept by the library, then the last packet's DTLog text
    // (None when DTLog is off or there was no item).
    py::tuple Finish();

    ColumnarBatch& Columns();
    uint64_t Items() const { return session_.Items(); }
    uint64_t Failures() const { return session_.Failures(); }
    // What the decoding reported since the last call (failed decode calls), then forgotten.
    std::string TakeMessages();

  private:
    void CheckOpen() const;

    cli::CliOptions options_;
    std::optional<ItemBuilder> builder_;
    std::optional<ColumnarBatch> batch_;
    py::list pending_;
    std::string trailingDtLog_;  // the last packet's DTLog text, found by Finish
    std::ostringstream messages_;
    cli::DecoderSession session_;
    bool finished_ = false;
};

}  // namespace tessavo::python
