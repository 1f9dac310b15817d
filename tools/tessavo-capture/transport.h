// The port a handset's diagnostic stream is read from: a serial tty, a USB interface's bulk
// endpoints, or a TCP connection to a bridge. One small interface, so that the handshake,
// the recording and the live decode never know which.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace tessavo::capture {

enum class ReadStatus {
    kData,         // `count` bytes arrived
    kTimeout,      // nothing within the time given
    kGone,         // the device went away (unplugged, reset, closed by the far end)
    kInterrupted,  // a signal asked the run to stop
};

struct ReadResult {
    ReadStatus status = ReadStatus::kTimeout;
    size_t count = 0;
    std::string error;  // why the device is gone
};

class Transport {
  public:
    virtual ~Transport() = default;
    // "/dev/ttyUSB0", "127.0.0.1:5555", "USB 05c6:9091 interface 2": for messages.
    virtual std::string Name() const = 0;
    // False with `error` set when the port cannot be opened (the device may be absent).
    virtual bool Open(std::string& error) = 0;
    virtual ReadResult Read(std::span<uint8_t> buffer, int timeoutMs) = 0;
    // Writes all of `bytes`; false with `error` set when the device is gone or refuses.
    virtual bool Write(std::span<const uint8_t> bytes, std::string& error) = 0;
    virtual void Close() = 0;
};

std::unique_ptr<Transport> MakeSerialTransport(const std::string& path, uint32_t baud);
// Null on Windows, where TCP bridges are not read.
std::unique_ptr<Transport> MakeTcpTransport(const std::string& host, uint16_t port);
// Null when the tool was built without libusb.
std::unique_ptr<Transport> MakeUsbTransport(uint16_t vendor, uint16_t product,
                                            std::optional<int> interfaceNumber);

}  // namespace tessavo::capture
