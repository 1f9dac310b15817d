#include "capture_job.h"

#include "csv_sink.h"
#include "jsonl_sink.h"
#include "text_format.h"

namespace tessavo::python {

namespace py = pybind11;

CaptureJob::CaptureJob(const std::string& output, const std::string& format, uint32_t module)
    : options_([module] {
          cli::CliOptions options;
          options.moduleType = module;
          return options;
      }()),
      session_(
          options_, cli::ItemSelection{},
          [this](const cli::ItemView& item) {
              if (item.dtlogOnly) return;  // none: DTLog text is off
              if (item.identity.logCode) {
                  byLogCode_.Add(*item.identity.logCode);
              } else if (item.identity.command) {
                  ++commands_;
              }
              if (!timed_) first_ = item.time;
              timed_ = true;
              last_ = item.time;
              sink_->Consume(item);
          },
          messages_) {
    out_.open(output, std::ios::binary | std::ios::trunc);
    if (!out_) throw py::value_error("cannot write '" + output + "'");
    if (format == "csv") {
        sink_ = std::make_unique<cli::CsvSink>(out_, clock_);
    } else if (format == "jsonl") {
        sink_ = std::make_unique<cli::JsonlSink>(out_, cli::JsonlFields{}, clock_, filter_);
    } else {
        throw py::value_error("format is csv or jsonl");
    }
    if (!session_.Open()) throw py::value_error(messages_.str());
}

void CaptureJob::Feed(py::buffer data) {
    py::buffer_info info = data.request();
    std::span<const uint8_t> bytes(static_cast<const uint8_t*>(info.ptr),
                                   static_cast<size_t>(info.size * info.itemsize));
    py::gil_scoped_release unlocked;
    scanner_.Feed(bytes);
    session_.FeedStream(bytes, "capture", bytes_);
    bytes_ += bytes.size();
}

py::dict CaptureJob::Finish() {
    cli::RunStats stats;
    {
        py::gil_scoped_release unlocked;
        session_.Finish();
        scanner_.Finish();
        stats.inputBytes = bytes_;
        stats.items = session_.Items();
        stats.decodeFailures = session_.Failures();
        stats.frames = scanner_.Counts();
        sink_->Finish(stats);
        out_.close();
    }
    if (!out_) throw py::value_error("error writing the output");
    if (std::string error = sink_->Error(); !error.empty()) throw py::value_error(error);
    py::dict codes;
    byLogCode_.ForEach([&codes](uint16_t code, uint64_t count) {
        codes[py::str(cli::HexNumber(code, 4))] = count;
    });
    if (commands_ != 0) codes["commands"] = commands_;
    py::dict out;
    out["items"] = stats.items;
    out["bytes"] = bytes_;
    out["frames"] = stats.frames.frames;
    out["bad_frames"] = stats.frames.crcFailures + stats.frames.oversized;
    out["decode_failures"] = stats.decodeFailures;
    out["first_time"] = timed_ ? py::object(py::str(clock_.Format(first_))) : py::none();
    out["last_time"] = timed_ ? py::object(py::str(clock_.Format(last_))) : py::none();
    out["span_s"] = timed_ ? cli::SecondsBetween(first_, last_) : 0.0;
    out["items_by_code"] = codes;
    return out;
}

void DefineCaptureJob(py::module_& module) {
    py::class_<CaptureJob>(module, "CaptureJob")
        .def(py::init<const std::string&, const std::string&, uint32_t>(), py::arg("output"),
             py::arg("format"), py::arg("module"))
        .def("feed", &CaptureJob::Feed)
        .def("finish", &CaptureJob::Finish);
}

}  // namespace tessavo::python
