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
// clang-format off
inline Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }
inline std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }
struct CliRun { int status = -1; std::string out; std::string err; };
// clang-format on

// CRC-16/X.25, computed bit by bit (independently of the table-driven one under test).
uint16_t BitwiseCrc16(const Bytes& bytes);

// Frame appends the CRC (low byte first), FrameWithCheck the check bytes given, right or
// wrong; both escape 0x7D and 0x7E and close with 0x7E, as EscapeAndTerminate does to a
// packet that ends with its check bytes. LogPacket: 0x10, 0, outer length, record length,
// log code, the stamp (ticks of 1.25 ms in the upper 48 bits of a u64), payload.
Bytes Frame(const Bytes& packet);
Bytes FrameWithCheck(const Bytes& packet, uint16_t check);
Bytes EscapeAndTerminate(const Bytes& packetWithCheck);
Bytes LogPacket(uint16_t logCode, uint64_t ticks, const Bytes& payload);
Bytes LogFrame(uint16_t logCode, uint64_t ticks, const Bytes& payload);

// A compact packet as the library re-encodes an item, unescaped: header, the item's time,
// direction and message code, its fresh scalar parameters, and `check` as its check bytes.
// clang-format off
struct CompactItem { uint64_t ticks; int32_t seconds; int32_t microseconds; uint16_t direction;
                     uint32_t msgCode; std::vector<std::pair<uint32_t, int32_t>> params; uint16_t check; };
// clang-format on
Bytes CompactPacket(const CompactItem& item);

// RunCli with `stdinBytes` as standard input (a terminal if `stdinIsTerminal`).
CliRun RunTool(const std::vector<std::string>& args, const std::string& stdinBytes = "",
               bool stdinIsTerminal = false);

// RunTool with a temporary file holding `capture` as last argument; its JSON lines (it must
// succeed).
CliRun RunOn(const Bytes& capture, std::vector<std::string> args = {});
std::vector<Json> DecodeOn(const Bytes& capture, std::vector<std::string> args = {});

// The built program in a child process (not on Windows); `status` is its exit status, 128 +
// the signal number when a signal ended it. Spawn starts it on the descriptors given.
CliRun RunProgram(const std::vector<std::string>& args, const std::string& stdinBytes = "");
int Spawn(const std::vector<std::string>& args, int in, int out, int err);

// A file in a temporary directory, removed with the object; without contents, a name only.
class TempFile {
  public:
    TempFile();
    explicit TempFile(const Bytes& contents);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    const std::string& Path() const { return path_; }
    Bytes Read() const;

  private:
    std::string path_;
};

// The lines of a text, without their line breaks; and each line parsed as JSON.
std::vector<std::string> Lines(const std::string& text);
std::vector<Json> JsonLines(const std::string& text);

// Expects each {JSON pointer, value} pair to hold in `json` (a missing member reads null).
void ExpectFields(const Json& json, const std::vector<std::pair<std::string, Json>>& fields);

}  // namespace tessavo::cli::test
