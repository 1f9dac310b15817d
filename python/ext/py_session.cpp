#include "py_session.h"

#include <algorithm>

namespace tessavo::python {
namespace {

cli::CliOptions CliOptionsOf(const SessionOptions& options) {
    cli::CliOptions cli;
    cli.moduleType = options.module;
    cli.reencode = options.reencode;
    cli.outFile = options.outFile;
    cli.dtlog = options.dtlog;
    cli.rawPackets = options.wholeBuffer;
    cli.wholeFrames = options.wholeFrame;
    cli.inherited = options.inherited;
    return cli;
}

cli::ItemSelection SelectionOf(const SessionOptions& options, bool items) {
    cli::ItemSelection selection;
    selection.inherited = items && options.inherited;
    auto wants = [&](const char* name) {
        return std::find(options.blocks.begin(), options.blocks.end(), name) !=
               options.blocks.end();
    };
    selection.dtlog = items && (options.dtlog || wants("dtlog"));
    selection.outFile = items && wants("outfile");
    selection.compact = items && wants("compact");
    selection.payload = items && wants("payload");
    return selection;
}

cli::ItemFilter FilterOf(const SessionOptions& options) {
    cli::ItemFilter filter;
    filter.logCodes = options.logCodes;
    filter.decodedOnly = options.decodedOnly;
    if (!options.params.empty()) {
        std::string joined, error;
        for (const std::string& name : options.params) joined += (joined.empty() ? "" : ",") + name;
        auto names = cli::ParseParamNames(joined, error);
        if (!names) throw py::value_error(error);
        filter.SelectParams(*names);
    }
    return filter;
}

}  // namespace

PySession::PySession(const SessionOptions& options, py::object itemType)
    : options_(CliOptionsOf(options)),
      session_(
          options_, SelectionOf(options, !itemType.is_none()),
          [this](const cli::ItemView& item) {
              if (item.dtlogOnly) {  // made at the end: only its DTLog text is real
                  trailingDtLog_.assign(item.dtlog.begin(), item.dtlog.end());
                  return;
              }
              if (builder_) {
                  pending_.append(builder_->Build(item));
              } else {
                  batch_->Consume(item);
              }
          },
          messages_) {
    if (itemType.is_none()) {
        batch_.emplace(FilterOf(options));
    } else {
        builder_.emplace(std::move(itemType), options.blocks, options.inherited);
    }
    if (!session_.Open()) throw py::value_error(TakeMessages());
}

void PySession::CheckOpen() const {
    if (finished_) throw py::value_error("the decoder has finished its input");
}

py::list PySession::Feed(py::buffer data, int32_t hostSeconds, int32_t hostMicros) {
    CheckOpen();
    py::buffer_info info = data.request();
    if (info.ndim != 1 || info.itemsize != 1 || (info.size > 1 && info.strides[0] != 1)) {
        throw py::type_error("a contiguous bytes-like object is required");
    }
    std::span<const uint8_t> bytes(static_cast<const uint8_t*>(info.ptr),
                                   static_cast<size_t>(info.size * info.itemsize));
    options_.hostTime.seconds = hostSeconds;
    options_.hostTime.microseconds = hostMicros;
    if (options_.rawPackets || options_.wholeFrames) {
        session_.FeedFrame(bytes, "input", 0);
    } else {
        // The library takes a 32-bit length: a large buffer goes over in pieces.
        constexpr size_t kPiece = size_t{1} << 24;
        for (size_t done = 0; done < bytes.size(); done += kPiece) {
            std::span<const uint8_t> piece =
                bytes.subspan(done, std::min(kPiece, bytes.size() - done));
            if (builder_) {
                session_.FeedStream(piece, "input", done);
            } else {
                py::gil_scoped_release unlocked;  // columns touch no Python object
                session_.FeedStream(piece, "input", done);
            }
        }
    }
    py::list out = std::move(pending_);
    pending_ = py::list();
    return out;
}

py::tuple PySession::Finish() {
    CheckOpen();
    finished_ = true;
    session_.Finish();
    py::object dtlog = py::none();
    if (options_.dtlog) dtlog = py::bytes(trailingDtLog_);
    py::list out = std::move(pending_);
    pending_ = py::list();
    return py::make_tuple(std::move(out), std::move(dtlog));
}

ColumnarBatch& PySession::Columns() {
    if (!batch_) throw py::value_error("this decoder builds items, not columns");
    return *batch_;
}

std::string PySession::TakeMessages() {
    std::string text = messages_.str();
    messages_.str({});
    return text;
}

}  // namespace tessavo::python
