#include "capture_app.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>

#include "capture_pump.h"
#include "csv_sink.h"
#include "decoder_session.h"
#include "diag_handshake.h"
#include "dtlog_sink.h"
#include "jsonl_sink.h"
#include "live_view.h"
#include "output_file.h"
#include "recording.h"
#include "run_control.h"

#ifdef _WIN32
#define TESSAVO_BINARY O_BINARY
#else
#define TESSAVO_BINARY 0
#endif

namespace tessavo::capture {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kReadPollMs = 100;
constexpr auto kReconnectPause = std::chrono::milliseconds(500);

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::unique_ptr<Transport> MakeTransport(const PortSpec& port) {
    switch (port.kind) {
        case PortKind::kSerial:
            return MakeSerialTransport(port.path, port.baud);
        case PortKind::kTcp:
            return MakeTcpTransport(port.path, port.port);
        case PortKind::kUsb:
            return MakeUsbTransport(port.vendor, port.product, port.usbInterface);
    }
    return nullptr;
}

// The decoded items' file: written in place as items arrive (a capture that dies keeps
// what it wrote), never over an existing file without --force.
class ItemFile {
  public:
    ~ItemFile() {
        if (stream_) stream_->flush();
        if (fd_ >= 0) ::close(fd_);
    }
    bool Open(const std::string& path, bool force, std::string& error) {
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | TESSAVO_BINARY | (force ? O_TRUNC : O_EXCL),
                     0644);
        if (fd_ < 0) {
            error = errno == EEXIST ? "'" + path + "' exists; name another file or give --force"
                                    : "cannot write '" + path + "': " + std::strerror(errno);
            return false;
        }
        buffer_ = std::make_unique<cli::FdStreamBuf>(fd_);
        stream_ = std::make_unique<std::ostream>(buffer_.get());
        return true;
    }
    std::ostream& Stream() { return *stream_; }

  private:
    int fd_ = -1;
    std::unique_ptr<cli::FdStreamBuf> buffer_;
    std::unique_ptr<std::ostream> stream_;
};

std::unique_ptr<cli::ItemSink> MakeSink(const CaptureOptions& options, std::ostream& out,
                                        const cli::ItemClock& clock) {
    const cli::CliOptions& decode = options.decode;
    switch (decode.format) {
        case cli::OutputFormat::kCsv:
            return std::make_unique<cli::CsvSink>(out, cli::ColumnsFromNames(decode.filter.params),
                                                  false, clock);
        case cli::OutputFormat::kDtlog:
            return std::make_unique<cli::DtLogSink>(out, clock, decode.filter);
        default:
            return std::make_unique<cli::JsonlSink>(
                out, cli::JsonlFields{false, false, decode.outFile, false}, clock, decode.filter);
    }
}

}  // namespace

int RunCapture(const CaptureOptions& options, CaptureIo io) {
    auto say = [&io](const std::string& message) {
        io.err << "tessavo-capture: " << message << '\n';
    };
    std::string error;

    // Outputs first: a name that is taken costs no handshake.
    std::unique_ptr<Recorder> recorder;
    if (!options.recordPath.empty()) {
        recorder = std::make_unique<Recorder>(RecordingSettings{
            options.recordPath, options.force, options.rotateBytes, options.rotateSeconds});
        if (!recorder->Open(error)) return say(error), kExitFiles;
    }
    ItemFile itemFile;
    if (!options.decode.outputPath.empty() &&
        !itemFile.Open(options.decode.outputPath, options.force, error)) {
        return say(error), kExitFiles;
    }
    std::ostream& out = options.decode.outputPath.empty() ? io.out : itemFile.Stream();

    cli::ItemClock clock(false);
    std::unique_ptr<cli::ItemSink> sink;
    if (options.decodeOutput) sink = MakeSink(options, out, clock);
    const bool screen =
        options.live == LiveMode::kOn || (options.live == LiveMode::kAuto && io.errIsTerminal);
    std::optional<LiveView> live;  // set up once the port is open (it shows its name)

    cli::ItemSelection selection;
    selection.dtlog = options.decode.dtlog;
    selection.outFile = options.decode.outFile;
    const bool dtlog = options.decode.format == cli::OutputFormat::kDtlog;
    cli::DecoderSession session(
        options.decode, selection,
        [&](const cli::ItemView& item) {
            if (sink && (dtlog || options.decode.filter.Accepts(item))) sink->Consume(item);
            if (live) live->Consume(item);
        },
        io.err);
    if (!session.Open()) return kExitFiles;

    std::unique_ptr<Transport> port = MakeTransport(options.port);
    if (!port) {
        return say(options.port.kind == PortKind::kUsb
                       ? "this build has no USB support (libusb-1.0 was not found)"
                       : "this build has no TCP transport (POSIX systems only)"),
               kExitDevice;
    }
    if (!port->Open(error)) return say(error), kExitDevice;
    if (screen || options.live == LiveMode::kAuto) live.emplace(io.err, screen, port->Name());

    CapturePump pump(*port, recorder.get(), &session, sink ? &out : nullptr);
    DiagExchange exchange(*port, pump, options.handshakeSeconds);
    const auto started = Clock::now();
    auto counters = [&] { return PortCounters{pump.Bytes(), pump.Frames(), session.Items()}; };
    auto recordedText = [&] {
        std::string text = std::to_string(pump.Bytes()) + " bytes, " +
                           std::to_string(pump.Frames().frames) + " frames";
        if (recorder) text += " recorded in " + recorder->Files().back();
        return text;
    };

    SetupOutcome setup = SetUpLogging(exchange, options.codes, options.events);
    int status = setup.exitCode;
    bool gone = false;
    if (status != 0) {
        say(setup.message);
    } else {
        if (!screen) say("logging on " + port->Name() + " (" + setup.identity + ")");
        while (status == 0) {
            if (cli::StopSignal() != 0) {
                status = cli::StopExitStatus(cli::StopSignal());
                break;
            }
            if (options.durationSeconds > 0 && SecondsSince(started) >= options.durationSeconds)
                break;
            if (options.idleStopSeconds > 0 &&
                SecondsSince(pump.LastData()) >= options.idleStopSeconds)
                break;
            ReadResult result = pump.Pump(kReadPollMs, error);
            if (live) live->Tick(counters());
            if (result.status != ReadStatus::kGone) continue;
            if (!error.empty()) {  // the recording could not be written
                say(error);
                status = kExitFiles;
                break;
            }
            say(port->Name() + " went away after " +
                std::to_string(static_cast<int64_t>(SecondsSince(started))) + " s (" +
                result.error + "); " + recordedText());
            port->Close();
            if (!options.reconnect) {
                gone = true;
                status = kExitDevice;
                break;
            }
            say("waiting for " + port->Name() + " to come back");
            if (!recorder->NextFile(error)) {
                say(error);
                status = kExitFiles;
                break;
            }
            bool back = false;
            while (!back && cli::StopSignal() == 0) {
                std::this_thread::sleep_for(kReconnectPause);
                if (!port->Open(error)) continue;
                pump.Restart();
                setup = SetUpLogging(exchange, options.codes, options.events);
                back = setup.exitCode == 0;
                if (!back) {
                    say(setup.message);
                    port->Close();
                }
            }
            if (back)
                say("logging again on " + port->Name() + ", into " + recorder->Files().back());
            if (!back && status == 0) {
                gone = true;
                status = cli::StopExitStatus(cli::StopSignal());
            }
        }
        if (!gone && status != kExitFiles) {
            for (const std::string& problem :
                 TearDownLogging(exchange, setup.mask, options.keepMask, options.events)) {
                say(problem);
            }
        }
    }
    port->Close();
    if (live) live->Tick(counters(), true);

    cli::RunStats stats;
    stats.inputBytes = pump.Bytes();
    stats.items = session.Items();
    stats.frames = pump.Frames();
    stats.stopSignal = cli::StopSignal();
    stats.wallSeconds = SecondsSince(started);
    if (sink) {
        sink->Finish(stats);
        if (std::string sinkError = sink->Error(); !sinkError.empty()) say(sinkError);
    }
    out.flush();
    if (io.library != nullptr) io.library->Drain();
    if (recorder && !recorder->Close(error)) {
        say(error);
        if (status == 0) status = kExitFiles;
    }
    return status;
}

}  // namespace tessavo::capture
