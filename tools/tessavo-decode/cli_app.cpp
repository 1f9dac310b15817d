#include "cli_app.h"

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include "block_stream_sink.h"
#include "catalogue_listing.h"
#include "cli_options.h"
#include "csv_sink.h"
#include "decoder_session.h"
#include "frame_scan.h"
#include "jsonl_sink.h"
#include "progress_meter.h"
#include "summary_sink.h"

namespace tessavo::cli {
namespace {

constexpr const char* kStdinName = "standard input";

// One capture source: a file opened up front, or the process's standard input.
class InputSource {
  public:
    static std::unique_ptr<InputSource> Open(const std::string& path, std::istream& in,
                                             std::string& error) {
        auto source = std::unique_ptr<InputSource>(new InputSource());
        if (path == "-") {
            source->name_ = kStdinName;
            source->stream_ = &in;
            return source;
        }
        source->name_ = path;
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) {
            error = "cannot open '" + path + "': " + std::strerror(errno);
            return nullptr;
        }
        if (S_ISDIR(info.st_mode)) {
            error = "cannot read '" + path + "': " + std::strerror(EISDIR);
            return nullptr;
        }
        source->file_ = std::fopen(path.c_str(), "rb");
        if (source->file_ == nullptr) {
            error = "cannot open '" + path + "': " + std::strerror(errno);
            return nullptr;
        }
        if (S_ISREG(info.st_mode)) source->size_ = static_cast<uint64_t>(info.st_size);
        return source;
    }

    ~InputSource() {
        if (file_ != nullptr) std::fclose(file_);
    }

    // Bytes read into `buffer`; 0 at the end. Sets `error` on a read failure.
    size_t Read(std::vector<uint8_t>& buffer, std::string& error) {
        if (file_ != nullptr) {
            size_t count = std::fread(buffer.data(), 1, buffer.size(), file_);
            if (count == 0 && std::ferror(file_)) {
                error = "error reading '" + name_ + "': " + std::strerror(errno);
            }
            return count;
        }
        stream_->read(reinterpret_cast<char*>(buffer.data()),
                      static_cast<std::streamsize>(buffer.size()));
        size_t count = static_cast<size_t>(stream_->gcount());
        if (count == 0 && stream_->bad()) error = std::string("error reading ") + kStdinName;
        return count;
    }

    const std::string& Name() const { return name_; }
    uint64_t Size() const { return size_; }  // 0 when unknown

  private:
    InputSource() = default;

    std::string name_;
    std::FILE* file_ = nullptr;
    std::istream* stream_ = nullptr;
    uint64_t size_ = 0;
};

class OutputFile {
  public:
    bool Open(const std::string& path, std::string& error) {
        path_ = path;
        file_.open(path, std::ios::binary | std::ios::trunc);
        if (!file_) error = "cannot write '" + path + "': " + std::strerror(errno);
        return static_cast<bool>(file_);
    }
    std::ostream& Stream() { return file_; }
    bool Close(std::string& error) {
        file_.close();
        if (!file_) error = "error writing '" + path_ + "'";
        return static_cast<bool>(file_);
    }

  private:
    std::string path_;
    std::ofstream file_;
};

}  // namespace

int RunCli(const std::vector<std::string>& args, CliStreams io) {
    ParseResult parsed = ParseCommandLine(args);
    if (parsed.exitCode) {
        (*parsed.exitCode == 0 ? io.out : io.err) << parsed.message;
        return *parsed.exitCode;
    }
    const CliOptions& options = parsed.options;
    auto fail = [&io](const std::string& message) {
        io.err << "tessavo-decode: " << message << '\n';
        return 1;
    };
    std::string error;

    OutputFile outputFile;
    if (!options.outputPath.empty() && !outputFile.Open(options.outputPath, error)) {
        return fail(error);
    }
    std::ostream& out = options.outputPath.empty() ? io.out : outputFile.Stream();

    if (options.listParams) {
        if (*options.listParams == CatalogueFormat::kJson) {
            WriteCatalogueJson(out);
        } else {
            WriteCatalogueCsv(out);
        }
        if (!options.outputPath.empty() && !outputFile.Close(error)) return fail(error);
        return 0;
    }

    // Every input is opened before anything is decoded, so that a bad name costs no output.
    std::vector<std::string> paths = options.inputs;
    if (paths.empty()) paths.push_back("-");
    std::vector<std::unique_ptr<InputSource>> inputs;
    uint64_t totalBytes = 0;
    bool sizeKnown = true;
    for (const std::string& path : paths) {
        auto source = InputSource::Open(path, io.in, error);
        if (!source) return fail(error);
        totalBytes += source->Size();
        if (source->Size() == 0) sizeKnown = false;
        inputs.push_back(std::move(source));
    }

    OutputFile outfileRecords;
    OutputFile compact;
    if (!options.outfileRecordsPath.empty() &&
        !outfileRecords.Open(options.outfileRecordsPath, error)) {
        return fail(error);
    }
    if (!options.compactPath.empty() && !compact.Open(options.compactPath, error)) {
        return fail(error);
    }

    std::vector<std::unique_ptr<ItemSink>> sinks;
    switch (options.format) {
        case OutputFormat::kJsonl:
            sinks.push_back(std::make_unique<JsonlSink>(
                out,
                JsonlFields{options.inherited, options.dtlog, options.outFile, options.reencode}));
            break;
        case OutputFormat::kCsv:
            sinks.push_back(std::make_unique<CsvSink>(out));
            break;
        case OutputFormat::kSummary:
            sinks.push_back(std::make_unique<SummarySink>(out));
            break;
        case OutputFormat::kDtlog:
            sinks.push_back(std::make_unique<BlockStreamSink>(out, ItemBlock::kDtlog));
            break;
    }
    if (!options.outfileRecordsPath.empty()) {
        sinks.push_back(
            std::make_unique<BlockStreamSink>(outfileRecords.Stream(), ItemBlock::kOutFile));
    }
    if (!options.compactPath.empty()) {
        sinks.push_back(std::make_unique<BlockStreamSink>(compact.Stream(), ItemBlock::kCompact));
    }

    ItemSelection selection;
    selection.inherited = options.inherited && options.format == OutputFormat::kJsonl;
    selection.dtlog = options.dtlog;
    selection.outFile = options.outFile;
    selection.compact = options.reencode;
    DecoderSession session(
        options, selection,
        [&sinks](const ItemView& item) {
            for (auto& sink : sinks) sink->Consume(item);
        },
        io.err);
    if (!session.Open()) return 1;

    auto started = std::chrono::steady_clock::now();
    ProgressMeter progress(io.err, io.errIsTerminal && !options.quiet, sizeKnown ? totalBytes : 0);
    RunStats stats;
    bool frameByFrame = options.rawPackets || options.wholeFrames;
    std::vector<uint8_t> buffer(options.chunkSize);
    for (auto& input : inputs) {
        uint64_t offset = 0;
        FrameScanner scanner;
        if (frameByFrame) {
            scanner = FrameScanner([&](std::span<const uint8_t> frame, uint64_t frameOffset) {
                session.FeedFrame(frame, input->Name(), frameOffset);
            });
        }
        for (;;) {
            size_t count = input->Read(buffer, error);
            if (!error.empty()) {
                progress.Finish();
                return fail(error);
            }
            if (count == 0) break;
            std::span<const uint8_t> chunk(buffer.data(), count);
            scanner.Feed(chunk);  // in the frame modes this also feeds the library
            if (!frameByFrame) session.FeedStream(chunk, input->Name(), offset);
            offset += count;
            stats.inputBytes += count;
            progress.Update(stats.inputBytes, session.Items());
        }
        scanner.Finish();
        if (scanner.Counts().frames == 0) {
            progress.Finish();
            io.err << "tessavo-decode: warning: no DIAG frames in "
                   << (input->Name() == kStdinName ? input->Name() : "'" + input->Name() + "'")
                   << '\n';
        }
        stats.frames += scanner.Counts();
    }
    progress.Finish();

    stats.items = session.Items();
    stats.decodeFailures = session.Failures();
    stats.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    for (auto& sink : sinks) sink->Finish(stats);

    if (!options.outputPath.empty() && !outputFile.Close(error)) return fail(error);
    if (!options.outfileRecordsPath.empty() && !outfileRecords.Close(error)) return fail(error);
    if (!options.compactPath.empty() && !compact.Close(error)) return fail(error);
    if (!out) return fail("error writing the output");
    return 0;
}

}  // namespace tessavo::cli
