#include "sim_app.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <deque>
#include <fstream>
#include <thread>

#include "capture_replay.h"
#include "diag_responder.h"
#include "frame_scan.h"
#include "hdlc_codec.h"
#include "log_config_packets.h"
#include "run_control.h"
#include "sim_endpoint.h"

namespace tessavo::sim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kQueueLow = 64 * 1024;  // frames are queued while less than this waits
constexpr int kIdlePollMs = 100;
// A junk frame: no packet a handset sends starts this way, and its check cannot verify.
constexpr uint8_t kGarbage[] = {'g', 'a', 'r', 'b', 'a', 'g', 'e', 0x7E};

// Flips a bit of one byte inside `frame` that is not part of an escape pair and stays clear
// of the two framing bytes, so the frame keeps its length and fails its check.
void DamageFrame(std::vector<uint8_t>& frame) {
    for (size_t i = 1; i + 1 < frame.size(); ++i) {
        if (frame[i] == 0x7D || frame[i - 1] == 0x7D) continue;
        for (uint8_t bit : {0x01, 0x02, 0x04}) {
            const auto flipped = static_cast<uint8_t>(frame[i] ^ bit);
            if (flipped != 0x7D && flipped != 0x7E) {
                frame[i] = flipped;
                return;
            }
        }
    }
}

class Simulator {
  public:
    Simulator(const SimOptions& options, std::vector<ReplayFrame> frames, SimEndpoint& endpoint,
              std::ostream& err)
        : options_(options),
          frames_(std::move(frames)),
          endpoint_(endpoint),
          err_(err),
          responder_(ResponderFaults{options.rejectMask}) {
        if (!options.commandLogPath.empty())
            commandLog_.open(options.commandLogPath, std::ios::trunc);
        if (!options.sentLogPath.empty())
            sentLog_.open(options.sentLogPath, std::ios::binary | std::ios::trunc);
        if (!options.timingLogPath.empty()) timingLog_.open(options.timingLogPath, std::ios::trunc);
    }

    int Run() {
        while (cli::StopSignal() == 0) {
            if (fd_ < 0) {
                fd_ = endpoint_.Accept(kIdlePollMs);
                if (fd_ < 0) {
                    if (!endpoint_.Reconnects() && dropped_) return 0;
                    continue;
                }
                StartConnection();
            }
            Step();
        }
        return 0;
    }

  private:
    void StartConnection() {
        scanner_ = cli::FrameScanner(
            [this](std::span<const uint8_t> frame, uint64_t) { OnRequest(frame); });
        scanner_.CheckFrames(false);
        written_ = 0;
        queued_ = 0;
        queue_.clear();
        pendingFrames_.clear();
        replaying_ = false;
        // A connection goes on where the last one stopped (after a dropped connection, with
        // the frame it cut); one that finds the capture played out starts it again.
        if (next_ >= frames_.size()) next_ = 0;
    }

    void Step() {
        pollfd wait{fd_, POLLIN, 0};
        if (!queue_.empty()) wait.events |= POLLOUT;
        int timeout = kIdlePollMs;
        if (replaying_ && queue_.size() < kQueueLow) timeout = MillisecondsToNextFrame();
        if (::poll(&wait, 1, timeout) < 0 && errno != EINTR) return Drop("poll failed");
        if ((wait.revents & POLLIN) != 0 || (wait.revents & (POLLHUP | POLLERR)) != 0) {
            if (!ReadRequests()) return;
        }
        if (!replaying_ && responder_.AnyLogging() && next_ < frames_.size()) {
            replaying_ = true;
            replayStart_ = Clock::now();
            replayBase_ = frames_[next_].dueTicks;
        }
        if (replaying_) QueueDueFrames();
        if (!queue_.empty()) WriteQueued();
    }

    int MillisecondsToNextFrame() const {
        if (next_ >= frames_.size() || options_.speed == 0)
            return next_ >= frames_.size() ? kIdlePollMs : 0;
        auto due = DueTime(frames_[next_]);
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count();
        return static_cast<int>(std::clamp<long long>(left, 0, kIdlePollMs));
    }

    Clock::time_point DueTime(const ReplayFrame& frame) const {
        const double seconds = static_cast<double>(frame.dueTicks - replayBase_) /
                               static_cast<double>(kTicksPerSecond) / options_.speed;
        return replayStart_ +
               std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    }

    bool ReadRequests() {
        uint8_t buffer[4096];
        ssize_t count = ::read(fd_, buffer, sizeof buffer);
        if (count > 0) {
            scanner_.Feed({buffer, static_cast<size_t>(count)});
            return fd_ >= 0;
        }
        if (count < 0 && (errno == EAGAIN || errno == EINTR)) return true;
        // A pty whose other side is closed reads EIO; the simulator keeps that side open
        // itself, so this is a TCP client leaving.
        Drop("the client left");
        return false;
    }

    void OnRequest(std::span<const uint8_t> frame) {
        auto packet = cli::OpenHdlcFrame(frame);
        if (commandLog_.is_open()) {
            commandLog_ << (packet ? cli::HexText(*packet) : "bad-check " + cli::HexText(frame))
                        << '\n';
            commandLog_.flush();
        }
        if (!packet || options_.noAnswer) return;
        if (options_.answerDelayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(options_.answerDelayMs));
        Queue(cli::HdlcFrame(responder_.Answer(*packet)));
    }

    void QueueDueFrames() {
        const auto now = Clock::now();
        while (next_ < frames_.size() && queue_.size() < kQueueLow) {
            const ReplayFrame& frame = frames_[next_];
            if (options_.speed != 0 && DueTime(frame) > now) return;
            ++next_;
            if (!responder_.Logging(frame.logCode)) continue;
            ++logFramesSent_;
            if (options_.badCrcEvery != 0 && logFramesSent_ % options_.badCrcEvery == 0) {
                std::vector<uint8_t> damaged = frame.bytes;
                DamageFrame(damaged);
                Queue(damaged, next_ - 1);
            } else {
                Queue(frame.bytes, next_ - 1);
            }
            if (options_.garbageEvery != 0 && logFramesSent_ % options_.garbageEvery == 0) {
                Queue({kGarbage, sizeof kGarbage});
            }
        }
        if (next_ >= frames_.size() && options_.loop) {
            next_ = 0;
            replayStart_ = Clock::now();
            replayBase_ = frames_.front().dueTicks;
        }
    }

    void Queue(std::span<const uint8_t> bytes, std::optional<size_t> frameIndex = std::nullopt) {
        queue_.insert(queue_.end(), bytes.begin(), bytes.end());
        queued_ += bytes.size();
        if (frameIndex) pendingFrames_.push_back({queued_, *frameIndex});
    }

    void WriteQueued() {
        size_t size = queue_.size();
        bool cut = false;
        if (options_.disconnectAfter != 0 && !cutDone_ &&
            written_ + size >= options_.disconnectAfter) {
            size = static_cast<size_t>(options_.disconnectAfter - written_);
            cut = true;
        }
        // A frame's time is taken as the write begins: its reader may have it before write()
        // returns to this process.
        const auto now =
            std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
                .count();
        ssize_t count = size == 0 ? 0 : ::write(fd_, queue_.data(), size);
        if (count < 0) {
            if (errno == EAGAIN || errno == EINTR) return;
            return Drop("write failed");
        }
        if (sentLog_.is_open()) sentLog_.write(reinterpret_cast<const char*>(queue_.data()), count);
        queue_.erase(queue_.begin(), queue_.begin() + count);
        written_ += static_cast<uint64_t>(count);
        while (!pendingFrames_.empty() && pendingFrames_.front().first <= written_) {
            if (timingLog_.is_open()) {
                timingLog_ << now << ' '
                           << cli::HexText(frames_[pendingFrames_.front().second].recordHead)
                           << '\n';
            }
            pendingFrames_.pop_front();
        }
        // Readers of the logs (tests, the bench) see every byte once the port has taken it.
        if (queue_.empty()) {
            if (sentLog_.is_open()) sentLog_.flush();
            if (timingLog_.is_open()) timingLog_.flush();
        }
        if (cut && static_cast<size_t>(count) == size) {
            cutDone_ = true;
            // The next connection resumes with the first frame not sent whole.
            if (!pendingFrames_.empty()) next_ = pendingFrames_.front().second;
            Drop("disconnected after " + std::to_string(written_) + " bytes, as asked");
        }
    }

    void Drop(const std::string& why) {
        err_ << "tessavo-sim: " << why << '\n';
        if (sentLog_.is_open()) sentLog_.flush();
        if (timingLog_.is_open()) timingLog_.flush();
        endpoint_.Drop(fd_);
        fd_ = -1;
        dropped_ = true;
        queue_.clear();
        pendingFrames_.clear();
        responder_ = DiagResponder(ResponderFaults{options_.rejectMask});
    }

    const SimOptions& options_;
    std::vector<ReplayFrame> frames_;
    SimEndpoint& endpoint_;
    std::ostream& err_;
    DiagResponder responder_;
    std::ofstream commandLog_;
    std::ofstream sentLog_;
    std::ofstream timingLog_;
    cli::FrameScanner scanner_;
    int fd_ = -1;
    bool dropped_ = false;
    bool cutDone_ = false;
    std::vector<uint8_t> queue_;
    // End offset (in bytes queued on this connection) and index of each log frame queued.
    std::deque<std::pair<uint64_t, size_t>> pendingFrames_;
    uint64_t queued_ = 0;
    uint64_t written_ = 0;
    size_t next_ = 0;
    uint64_t logFramesSent_ = 0;
    bool replaying_ = false;
    Clock::time_point replayStart_;
    uint64_t replayBase_ = 0;
};

}  // namespace

int RunSimulator(const SimOptions& options, std::ostream& out, std::ostream& err) {
    std::string error;
    std::vector<ReplayFrame> frames;
    if (!LoadCaptureFrames(options.capturePath, frames, error)) {
        err << "tessavo-sim: " << error << '\n';
        return 1;
    }
    std::unique_ptr<SimEndpoint> endpoint =
        options.pty ? OpenPtyEndpoint(error)
                    : OpenTcpEndpoint(options.bindAddress, *options.tcpPort, error);
    if (!endpoint) {
        err << "tessavo-sim: " << error << '\n';
        return 1;
    }
    std::signal(SIGPIPE, SIG_IGN);
    out << "tessavo-sim: " << (options.pty ? "serving " : "listening on ") << endpoint->Describe()
        << '\n';
    out.flush();
    Simulator simulator(options, std::move(frames), *endpoint, err);
    return simulator.Run();
}

}  // namespace tessavo::sim
