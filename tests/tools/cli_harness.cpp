#include "cli_harness.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <process.h>
#define getpid _getpid
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli_app.h"

namespace tessavo::cli::test {
namespace {

void Put(Bytes& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// The header of a log packet: 0x10, 0, outer length, record length, log code, stamp.
Bytes Header(uint16_t logCode, size_t length, uint64_t ticks) {
    Bytes out = {0x10, 0x00};
    Put(out, length * 0x10001, 4);  // the same length twice
    Put(out, logCode, 2);
    Put(out, ticks << 16, 8);
    return out;
}

// A tagged field of a compact packet: tag, size, value.
void PutTagged(Bytes& out, uint32_t tag, uint32_t size, uint64_t value) {
    Put(out, tag, 4);
    Put(out, size, 4);
    Put(out, value, static_cast<int>(size));
}

}  // namespace

Bytes Words(std::initializer_list<uint32_t> words) {
    Bytes out;
    for (uint32_t word : words) Put(out, word, 4);
    return out;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

uint16_t BitwiseCrc16(const Bytes& bytes) {
    uint16_t crc = 0xFFFF;
    for (uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<uint16_t>((crc & 1) != 0 ? (crc >> 1) ^ 0x8408 : crc >> 1);
        }
    }
    return static_cast<uint16_t>(crc ^ 0xFFFF);
}

Bytes Frame(const Bytes& packet) {
    return FrameWithCheck(packet, BitwiseCrc16(packet));
}

Bytes FrameWithCheck(const Bytes& packet, uint16_t check) {
    Bytes unescaped = packet;
    Put(unescaped, check, 2);
    return EscapeAndTerminate(unescaped);
}

Bytes EscapeAndTerminate(const Bytes& packetWithCheck) {
    Bytes frame;
    for (uint8_t byte : packetWithCheck) {
        if (byte == 0x7D || byte == 0x7E) frame.push_back(0x7D);
        frame.push_back(byte == 0x7D || byte == 0x7E ? static_cast<uint8_t>(byte ^ 0x20) : byte);
    }
    frame.push_back(0x7E);
    return frame;
}

Bytes LogFrame(uint16_t logCode, uint64_t ticks, const Bytes& payload) {
    return Frame(LogPacket(logCode, ticks, payload));
}

Bytes LogPacket(uint16_t logCode, uint64_t ticks, const Bytes& payload) {
    return Concat({Header(logCode, 12 + payload.size(), ticks), payload});
}

Bytes CompactPacket(const CompactItem& item) {
    Bytes section;
    if (!item.params.empty()) PutTagged(section, 0xFF0F0010, 4, item.params.size());
    for (const auto& [id, value] : item.params) PutTagged(section, id, 4, uint32_t(value));
    Bytes packet = Header(0xFFFE, 80 + section.size(), item.ticks);
    PutTagged(packet, 0xFF0F0000, 4, 1);
    PutTagged(packet, 0xFF0F0001, 8,
              uint32_t(item.seconds) | (uint64_t{uint32_t(item.microseconds)} << 32));
    PutTagged(packet, 0xFF0F0002, 2, item.direction);
    PutTagged(packet, 0xFF0F0003, 4, item.msgCode);
    PutTagged(packet, 0xFF0F0004, 4, section.size());
    packet = Concat({packet, section});
    Put(packet, item.check, 2);
    return packet;
}

CliRun RunTool(const std::vector<std::string>& args, const std::string& stdinBytes,
               bool stdinIsTerminal) {
    std::istringstream in(stdinBytes);
    std::ostringstream out;
    std::ostringstream err;
    CliStreams io{.in = in, .out = out, .err = err, .inIsTerminal = stdinIsTerminal};
    const int status = RunCli(args, io);
    return {status, out.str(), err.str()};
}

CliRun RunOn(const Bytes& capture, std::vector<std::string> args) {
    TempFile file(capture);
    args.push_back(file.Path());
    return RunTool(args);
}

std::vector<Json> DecodeOn(const Bytes& capture, std::vector<std::string> args) {
    const CliRun run = RunOn(capture, std::move(args));
    EXPECT_EQ(run.status, 0) << run.err;
    return JsonLines(run.out);
}

#if !defined(_WIN32)
int Spawn(const std::vector<std::string>& args, int in, int out, int err) {
    const pid_t child = fork();
    if (child != 0) return child;
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<char*> argv = {const_cast<char*>(TESSAVO_DECODE_BINARY)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(TESSAVO_DECODE_BINARY, argv.data());
    _exit(127);
}

CliRun RunProgram(const std::vector<std::string>& args, const std::string& stdinBytes) {
    TempFile in(Text(stdinBytes));
    TempFile out;
    TempFile err;
    const int fds[3] = {open(in.Path().c_str(), O_RDONLY),
                        open(out.Path().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600),
                        open(err.Path().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600)};
    const pid_t child = Spawn(args, fds[0], fds[1], fds[2]);
    for (int fd : fds) close(fd);
    int raw = 0;
    waitpid(child, &raw, 0);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw), Text(out.Read()),
            Text(err.Read())};
}
#endif

TempFile::TempFile() {
    static std::atomic<int> counter{0};
    const auto directory =
        std::filesystem::temp_directory_path() / ("tessavo_cli_tests_" + std::to_string(getpid()));
    std::filesystem::create_directories(directory);
    path_ = (directory / ("file" + std::to_string(counter++) + ".bin")).string();
}

TempFile::TempFile(const Bytes& contents) : TempFile() {
    std::ofstream(path_, std::ios::binary)
        .write(Text(contents).data(), std::streamsize(contents.size()));
}

TempFile::~TempFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
}

Bytes TempFile::Read() const {
    std::ifstream file(path_, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

std::vector<Json> JsonLines(const std::string& text) {
    std::vector<Json> items;
    for (const std::string& line : Lines(text)) items.push_back(Json::parse(line));
    return items;
}

void ExpectFields(const Json& json, const std::vector<std::pair<std::string, Json>>& fields) {
    for (const auto& [pointer, value] : fields) {
        const Json::json_pointer at(pointer);
        EXPECT_EQ(json.contains(at) ? json.at(at) : Json(), value) << pointer;
    }
}

}  // namespace tessavo::cli::test
