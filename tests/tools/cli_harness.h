// Builds DIAG frames field by field (log packets, command responses, compact 0xFFFE packets,
// with their CRC-16, escaping and 0x7E) and runs tessavo-decode on them, in-process or as
// a child process.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

namespace tessavo::cli::test {

using Bytes = std::vector<uint8_t>;
using Json = nlohmann::json;

Bytes Words(std::initializer_list<uint32_t> words);  // little-endian 32-bit words
Bytes Concat(std::initializer_list<Bytes> parts);
inline Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}
inline std::string Text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// CRC-16/X.25, computed bit by bit (independently of the table-driven one under test).
uint16_t BitwiseCrc16(const Bytes& bytes);

// Frame appends the CRC (low byte first), FrameWithCheck the check bytes given, right or
// wrong; both escape 0x7D and 0x7E and close with 0x7E. EscapeAndTerminate does the last
// two steps to a packet that already ends with its check bytes.
Bytes Frame(const Bytes& packet);
Bytes FrameWithCheck(const Bytes& packet, uint16_t check);
Bytes EscapeAndTerminate(const Bytes& packetWithCheck);

// A log packet: 0x10, 0, outer length, record length, log code, the time stamp (the tick
// count of 1.25 ms in the upper 48 bits of a u64), payload. Not yet framed.
Bytes LogPacket(uint16_t logCode, uint64_t ticks, const Bytes& payload);
inline Bytes LogFrame(uint16_t logCode, uint64_t ticks, const Bytes& payload) {
    return Frame(LogPacket(logCode, ticks, payload));
}

// A compact packet as the library re-encodes an item: header, the item's time, direction
// and message code, and its fresh scalar parameters; `check` is placed as its check bytes.
struct CompactItem {
    uint64_t ticks;
    int32_t seconds;
    int32_t microseconds;
    uint16_t direction;
    uint32_t msgCode;
    std::vector<std::pair<uint32_t, int32_t>> params;
    uint16_t check;
};
Bytes CompactPacket(const CompactItem& item);  // unescaped, check bytes included

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// RunCli with `stdinBytes` as standard input; standard error is not a terminal.
// `stdinIsTerminal` makes the tool believe its standard input is a terminal.
CliRun RunTool(const std::vector<std::string>& args, const std::string& stdinBytes = "",
               bool stdinIsTerminal = false);

// The built program in a child process (not on Windows), `stdinBytes` on its standard input;
// `status` is the exit status (128 + the signal number when a signal ended it).
CliRun RunProgram(const std::vector<std::string>& args, const std::string& stdinBytes = "");

// A file in a per-process temporary directory, removed when the object goes. Without
// contents it is a name only: nothing is created.
class TempFile {
  public:
    TempFile();
    explicit TempFile(const Bytes& contents);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& Path() const { return path_; }
    Bytes Read() const;

  private:
    std::string path_;
};

// The lines of a text, without their line breaks; and each line parsed as JSON.
std::vector<std::string> Lines(const std::string& text);
std::vector<Json> JsonLines(const std::string& text);

}  // namespace tessavo::cli::test
