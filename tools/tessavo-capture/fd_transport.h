// What the serial tty and the TCP transports share on POSIX systems: a file descriptor read
// when poll(2) says it has bytes, and written in full. They differ only in how they open it.
#pragma once

#ifndef _WIN32

#include "transport.h"

namespace tessavo::capture {

class FdTransport : public Transport {
  public:
    ~FdTransport() override { Close(); }
    ReadResult Read(std::span<uint8_t> buffer, int timeoutMs) override;
    bool Write(std::span<const uint8_t> bytes, std::string& error) override;
    void Close() override;

  protected:
    int fd_ = -1;
};

}  // namespace tessavo::capture

#endif
