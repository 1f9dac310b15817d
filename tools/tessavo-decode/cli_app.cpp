#include "cli_app.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "block_stream_sink.h"
#include "catalogue_listing.h"
#include "cli_options.h"
#include "csv_sink.h"
#include "decoder_session.h"
#include "dtlog_sink.h"
#include "events_sink.h"
#include "map_sink.h"
#include "frame_scan.h"
#include "jsonl_sink.h"
#include "output_file.h"
#include "platform.h"
#include "progress_meter.h"
#include "run_control.h"
#include "summary_sink.h"

namespace tessavo::cli {
namespace {

constexpr const char* kStdinName = "standard input";
// An input of which no frame (or fewer than half) passes its CRC check.
constexpr int kNotDiagStatus = 4;
constexpr const char* kUsage =
    "Usage: tessavo-decode [OPTIONS] [FILE...]\n"
    "Run 'tessavo-decode --help' for the options.\n";

// One capture source: a file opened up front, or the process's standard input.
class InputSource {
  public:
    static std::unique_ptr<InputSource> Open(const std::string& path, const CliStreams& io,
                                             std::string& error) {
        auto source = std::unique_ptr<InputSource>(new InputSource());
        if (path == "-") {
            source->name_ = kStdinName;
            source->stream_ = &io.in;
            source->fd_ = io.inFd;
            source->ownsFd_ = false;
            FileStatus status;
            if (io.inFd >= 0 && StatusOfDescriptor(io.inFd, status) && status.regular &&
                status.hasIdentity) {
                source->identity_ = status.identity;
            }
            return source;
        }
        source->name_ = "'" + path + "'";
        source->fd_ = OpenForReading(path);
        if (source->fd_ < 0) {
            error = "cannot open '" + path + "': " + std::strerror(errno);
            return nullptr;
        }
        FileStatus status;
        if (!StatusOfDescriptor(source->fd_, status) || status.directory) {
            error =
                "cannot read '" + path + "': " + std::strerror(status.directory ? EISDIR : errno);
            return nullptr;
        }
        if (status.hasIdentity) source->identity_ = status.identity;
        if (status.regular) {
            source->size_ = status.size;
            source->regularFile_ = true;
        }
        return source;
    }

    ~InputSource() {
        if (ownsFd_ && fd_ >= 0) ::close(fd_);
    }

    // Bytes read into `buffer`; 0 at the end or when a stop was requested. Sets `error` on
    // a read failure.
    size_t Read(std::vector<uint8_t>& buffer, std::string& error) {
        if (fd_ >= 0) {
            for (;;) {
                ssize_t count = ::read(fd_, buffer.data(), buffer.size());
                if (count >= 0) return static_cast<size_t>(count);
                if (errno == EINTR) {
                    if (StopSignal() != 0) return 0;
                    continue;
                }
                error = "error reading " + name_ + ": " + std::strerror(errno);
                return 0;
            }
        }
        stream_->read(reinterpret_cast<char*>(buffer.data()),
                      static_cast<std::streamsize>(buffer.size()));
        size_t count = static_cast<size_t>(stream_->gcount());
        if (count == 0 && stream_->bad()) error = std::string("error reading ") + kStdinName;
        return count;
    }

    const std::string& Name() const { return name_; }  // quoted path or "standard input"
    uint64_t Size() const { return size_; }            // 0 when unknown
    bool RegularFile() const { return regularFile_; }
    const std::optional<FileIdentity>& Identity() const { return identity_; }

  private:
    InputSource() = default;

    std::string name_;
    int fd_ = -1;
    bool ownsFd_ = true;
    std::istream* stream_ = nullptr;
    uint64_t size_ = 0;
    bool regularFile_ = false;
    std::optional<FileIdentity> identity_;
};

using Inputs = std::vector<std::unique_ptr<InputSource>>;

// The --tz zone for this run: TZ is set for the whole process (the library converts its
// time stamps in it too, and the clock undoes that) and restored afterwards.
class TimeZoneScope {
  public:
    explicit TimeZoneScope(const std::string& zone) : active_(!zone.empty()) {
        if (!active_) return;
        if (const char* old = std::getenv("TZ")) saved_ = old;
        SetTimeZoneVariable(zone.c_str());
    }
    ~TimeZoneScope() {
        if (active_) SetTimeZoneVariable(saved_ ? saved_->c_str() : nullptr);
    }

  private:
    bool active_;
    std::optional<std::string> saved_;
};

// A stream with bytes of which no frame, or fewer than half of at least 100, pass the CRC
// check is not DIAG (a compressed file of another kind, an image, random bytes). Compact
// frames carry no check of their own and count as passing.
bool NotADiagStream(const FrameCounts& counts, uint64_t streamBytes) {
    if (streamBytes == 0) return false;
    const uint64_t passing = counts.frames - counts.crcFailures;
    return passing == 0 || (counts.frames >= 100 && passing * 2 < counts.frames);
}

// Feeds every input through `session`, the frames through a scanner per input. Returns
// false with `error` set on a read failure; stops early when a stop was requested.
struct PassHooks {
    ProgressMeter* progress = nullptr;
    RunStats* stats = nullptr;
    std::ostream* flushAfterChunk = nullptr;
    LibraryOutput* library = nullptr;
    std::ostream* warnings = nullptr;
};

bool RunPass(Inputs& inputs, const CliOptions& options, DecoderSession& session, PassHooks hooks,
             std::string& error) {
    bool frameByFrame = options.rawPackets || options.wholeFrames;
    std::vector<uint8_t> buffer(options.chunkSize);
    bool sawLog = false;
    uint64_t done = 0;
    for (auto& input : inputs) {
        uint64_t offset = 0;
        FrameScanner scanner;
        if (frameByFrame) {
            scanner = FrameScanner([&](std::span<const uint8_t> frame, uint64_t frameOffset) {
                session.FeedFrame(frame, input->Name(), frameOffset);
            });
        }
        scanner.AssumeLogSeen(sawLog);
        InputDecoder decoder(options.inputFormat);
        uint64_t streamOffset = 0;  // in the DIAG stream the input yields
        auto pass = [&](std::span<const uint8_t> stream) {
            scanner.Feed(stream);  // in the frame modes this also feeds the library
            if (!frameByFrame) session.FeedStream(stream, input->Name(), streamOffset);
            streamOffset += stream.size();
        };
        std::string inputError;
        std::span<const uint8_t> stream;
        while (StopSignal() == 0) {
            size_t count = input->Read(buffer, error);
            if (!error.empty()) return false;
            if (count == 0) {
                decoder.Finish(stream, inputError);
                pass(stream);
                break;
            }
            const bool read = decoder.Feed({buffer.data(), count}, stream, inputError);
            pass(stream);
            if (hooks.library != nullptr) {
                uint64_t lines = hooks.library->Drain();
                if (hooks.stats != nullptr) hooks.stats->libraryMessages += lines;
            }
            offset += count;
            done += count;
            if (hooks.flushAfterChunk != nullptr) hooks.flushAfterChunk->flush();
            if (hooks.progress != nullptr) hooks.progress->Update(done, session.Items());
            if (!read) break;
        }
        scanner.Finish();
        sawLog = scanner.SawLog();
        // A message ends the progress bar first.
        auto warn = [&hooks]() -> std::ostream& {
            if (hooks.progress != nullptr) hooks.progress->Finish();
            return *hooks.warnings;
        };
        if (!inputError.empty()) {
            warn() << "tessavo-decode: " << input->Name() << ": " << inputError
                   << "; the items before that are written\n";
        }
        const FrameCounts& counts = scanner.Counts();
        const bool notDiag = StopSignal() == 0 && NotADiagStream(counts, streamOffset);
        if (notDiag) {
            warn() << "tessavo-decode: warning: " << input->Name() << ": ";
            if (counts.frames == 0) {
                *hooks.warnings << "no DIAG frames";
            } else {
                *hooks.warnings << (counts.frames - counts.crcFailures) << " of " << counts.frames
                                << " frames pass their CRC check";
            }
            *hooks.warnings << " (read as " << decoder.Description()
                            << "): not a DIAG stream this tool reads\n";
        } else if (counts.frames == 0 && StopSignal() == 0) {
            warn() << "tessavo-decode: warning: no DIAG frames in " << input->Name() << '\n';
        }
        hooks.stats->frames += counts;
        hooks.stats->inputBytes += offset;
        hooks.stats->inputFormats.push_back(input->Name() + ": " + decoder.Description());
        hooks.stats->inputErrors += inputError.empty() ? 0 : 1;
        hooks.stats->notDiag = hooks.stats->notDiag || notDiag;
    }
    return true;
}

// A wide CSV finds its columns in the items (the parameters set anywhere in the inputs)
// unless --params names them or an input is read as it arrives (standard input, a pipe):
// there the whole catalogue is shown and rows are written at once.
bool FindsCsvColumns(const Inputs& inputs, const CliOptions& options) {
    if (options.format != OutputFormat::kCsv || options.csvLayout != CsvLayout::kWide ||
        !options.filter.params.empty()) {
        return false;
    }
    for (const auto& input : inputs) {
        if (!input->RegularFile()) return false;
    }
    return true;
}

int WriteCatalogue(const CliOptions& options, std::ostream& out) {
    if (options.listMessages) {
        if (*options.listMessages == CatalogueFormat::kJson) {
            WriteMessagesJson(out);
        } else {
            WriteMessagesCsv(out);
        }
    } else if (*options.listParams == CatalogueFormat::kJson) {
        WriteCatalogueJson(out);
    } else {
        WriteCatalogueCsv(out);
    }
    return 0;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, CliStreams io) {
    ParseResult parsed = ParseCommandLine(args);
    if (parsed.exitCode) {
        (*parsed.exitCode == 0 ? io.out : io.err) << parsed.message;
        return *parsed.exitCode;
    }
    CliOptions& options = parsed.options;
    auto fail = [&io](const std::string& message, int status = 1) {
        io.err << "tessavo-decode: " << message << '\n';
        return status;
    };
    std::string error;
    TimeZoneScope zone(options.timeZone);
    ItemClock clock(!options.timeZone.empty());

    if (options.listParams || options.listMessages) {
        if (options.outputPath.empty()) {
            WriteCatalogue(options, io.out);
            io.out.flush();
            return 0;
        }
        AtomicOutputFile file;
        if (!file.Open(options.outputPath, error)) return fail(error);
        WriteCatalogue(options, file.Stream());
        return file.Commit(error) ? 0 : fail(error);
    }

    if (options.inputs.empty() && io.inIsTerminal) {
        io.err << "tessavo-decode: no capture named and standard input is a terminal\n" << kUsage;
        return 2;
    }

    // An output that names this process's standard output through links (/dev/stdout,
    // /proc/self/fd/1) is standard output: descriptor 1 itself carries what the library
    // prints, and the data goes to the descriptor the process started with.
    if (!options.outputPath.empty() && DescriptorOfPath(options.outputPath) == 1) {
        options.outputPath.clear();
    }
    for (const std::string* path : {&options.outfileRecordsPath, &options.compactPath}) {
        if (!path->empty() && DescriptorOfPath(*path) == 1) {
            return fail("'" + *path + "' is standard output; side files need a file of their own",
                        2);
        }
    }

    // Every input is opened, and every output checked against them, before anything is
    // written: a bad name costs no output and no existing file.
    std::vector<std::string> paths = options.inputs;
    if (paths.empty()) paths.push_back("-");
    Inputs inputs;
    uint64_t totalBytes = 0;
    bool sizeKnown = true;
    for (const std::string& path : paths) {
        auto source = InputSource::Open(path, io, error);
        if (!source) return fail(error);
        totalBytes += source->Size();
        if (source->Size() == 0) sizeKnown = false;
        inputs.push_back(std::move(source));
    }
    std::vector<std::string> outputs;
    for (const std::string* path :
         {&options.outputPath, &options.outfileRecordsPath, &options.compactPath}) {
        if (path->empty()) continue;
        // Compared by the file they name, however spelt and whether it exists yet or not.
        FileIdentity output;
        bool exists = IdentifyFile(*path, output);
        for (size_t i = 0; i < inputs.size(); ++i) {
            const auto& input = inputs[i];
            if ((exists && input->Identity() && SameFile(output, *input->Identity())) ||
                (paths[i] != "-" && SamePath(*path, paths[i]))) {
                return fail("refusing to write '" + *path + "': it is an input (" + input->Name() +
                                "); name another output file",
                            2);
            }
        }
        for (const std::string& other : outputs) {
            if (SamePath(other, *path)) {
                return fail("'" + *path + "' is named for two outputs; name a file for each", 2);
            }
        }
        outputs.push_back(*path);
    }

    AtomicOutputFile outputFile;
    AtomicOutputFile outfileRecords;
    AtomicOutputFile compact;
    if (!options.outputPath.empty() && !outputFile.Open(options.outputPath, error)) {
        return fail(error);
    }
    if (!options.outfileRecordsPath.empty() &&
        !outfileRecords.Open(options.outfileRecordsPath, error)) {
        return fail(error);
    }
    if (!options.compactPath.empty() && !compact.Open(options.compactPath, error)) {
        return fail(error);
    }
    std::ostream& out = options.outputPath.empty() ? io.out : outputFile.Stream();

    // The chosen format sees the items that pass the filters; the side files see all.
    std::unique_ptr<ItemSink> mainSink;
    switch (options.format) {
        case OutputFormat::kJsonl:
            mainSink = std::make_unique<JsonlSink>(
                out,
                JsonlFields{options.inherited, options.dtlog, options.outFile, options.reencode},
                clock, options.filter);
            break;
        case OutputFormat::kCsv:
        {
            auto csv = FindsCsvColumns(inputs, options)
                           ? std::make_unique<CsvSink>(out, clock)
                           : std::make_unique<CsvSink>(out, ColumnsFromNames(options.filter.params),
                                                       options.csvLayout == CsvLayout::kLong, clock);
            csv->SetCarryForwardAll(options.carryForwardAll);
            mainSink = std::move(csv);
            break;
        }
        case OutputFormat::kSummary:
            mainSink = std::make_unique<SummarySink>(out, clock);
            break;
        case OutputFormat::kDtlog:
            mainSink = std::make_unique<DtLogSink>(out, clock, options.filter);
            break;
        case OutputFormat::kEvents:
            mainSink = std::make_unique<EventsSink>(out, clock);
            break;
        case OutputFormat::kGeoJson:
        case OutputFormat::kKml: {
            std::optional<GpsTrack> track;  // none: the capture's own position fixes
            if (!options.trackPath.empty() && !track.emplace().Read(options.trackPath, error)) {
                return fail(error);
            }
            mainSink = std::make_unique<MapSink>(out, clock, std::move(track),
                                                 options.format == OutputFormat::kKml
                                                     ? MapFormat::kKml
                                                     : MapFormat::kGeoJson);
            break;
        }
    }
    std::vector<std::unique_ptr<ItemSink>> sideSinks;
    if (!options.outfileRecordsPath.empty()) {
        sideSinks.push_back(
            std::make_unique<BlockStreamSink>(outfileRecords.Stream(), ItemBlock::kOutFile));
    }
    if (!options.compactPath.empty()) {
        sideSinks.push_back(
            std::make_unique<BlockStreamSink>(compact.Stream(), ItemBlock::kCompact));
    }

    RunStats stats;
    uint64_t mainItems = 0;  // items the chosen format was given
    ItemSelection selection;
    // The summary shows no directions; it reads structured parameters (PILOT_PN of the System
    // Parameters record, the pilot tables its event rules follow).
    const bool summary = options.format == OutputFormat::kSummary;
    selection.direction = !summary;
    selection.structs = true;
    selection.inherited = options.inherited && options.format == OutputFormat::kJsonl;
    selection.dtlog = options.dtlog;
    selection.outFile = options.outFile;
    selection.compact = options.reencode;
    DecoderSession session(
        options, selection,
        [&](const ItemView& item) {
            if (item.dtlogOnly) {
                if (options.format == OutputFormat::kDtlog) mainSink->Consume(item);
                return;
            }
            if (item.identity.logCode) {
                stats.itemsByLogCode.Add(*item.identity.logCode);
            } else if (item.identity.command) {
                ++stats.commandItems;
            }
            // DTLog text rides on the item after the one it describes: that sink sees every
            // item and filters by the described one. The event rules follow the whole stream.
            if (options.format == OutputFormat::kDtlog || options.format == OutputFormat::kEvents ||
                options.format == OutputFormat::kGeoJson || options.format == OutputFormat::kKml ||
                options.filter.Accepts(item)) {
                mainSink->Consume(item);
                ++mainItems;
            }
            for (auto& sink : sideSinks) sink->Consume(item);
        },
        io.err);
    if (!session.Open()) return 1;

    auto started = std::chrono::steady_clock::now();
    ProgressMeter progress(io.err, io.errIsTerminal && !options.quiet, sizeKnown ? totalBytes : 0);
    PassHooks hooks;
    hooks.progress = &progress;
    hooks.stats = &stats;
    hooks.flushAfterChunk = &out;  // a live pipe sees the items of each chunk at once
    hooks.library = io.library;
    hooks.warnings = &io.err;
    bool read = RunPass(inputs, options, session, hooks, error);
    if (read) session.Finish();
    progress.Finish();
    if (!read) return fail(error);

    stats.items = session.Items();
    stats.decodeFailures = session.Failures();
    stats.stopSignal = StopSignal();
    stats.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    mainSink->Finish(stats);
    for (auto& sink : sideSinks) sink->Finish(stats);
    if (std::string sinkError = mainSink->Error(); !sinkError.empty()) return fail(sinkError);

    // A run that ended early (a signal, an input cut short) keeps what it wrote, every output
    // on a complete line, without putting it over an existing file; one line says where.
    const bool early = stats.stopSignal != 0 || stats.inputErrors != 0;
    const std::string why = stats.stopSignal != 0
                                ? "stopped by signal " + std::to_string(stats.stopSignal)
                                : std::string("an input was cut short");
    struct Output {
        const std::string& path;
        AtomicOutputFile& file;
        uint64_t items;
    };
    for (const Output& output : {Output{options.outputPath, outputFile, mainItems},
                                 Output{options.outfileRecordsPath, outfileRecords, stats.items},
                                 Output{options.compactPath, compact, stats.items}}) {
        if (output.path.empty()) continue;
        std::string where;
        if (!(early ? output.file.CommitPartial(where, error) : output.file.Commit(error))) {
            return fail(error);
        }
        if (!early) continue;
        io.err << "tessavo-decode: " << why << ": '" << where << "' holds " << output.items
               << (output.items == 1 ? " item" : " items");
        if (where != output.path) io.err << "; '" << output.path << "' is kept as it was";
        io.err << '\n';
    }
    if (options.outputPath.empty() && !out) {
        int reason = io.outBuffer != nullptr ? io.outBuffer->Error() : 0;
        return fail(reason != 0 ? WriteErrorText("standard output", reason)
                                : "error writing standard output");
    }
    if (early && options.outputPath.empty()) {
        io.err << "tessavo-decode: " << why << ": standard output holds " << mainItems
               << (mainItems == 1 ? " item\n" : " items\n");
    }
    if (stats.stopSignal != 0) return StopExitStatus(stats.stopSignal);
    if (stats.inputErrors != 0) return 1;
    return stats.notDiag ? kNotDiagStatus : 0;
}

}  // namespace tessavo::cli
