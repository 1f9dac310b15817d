// Where the simulated handset is reached: a pseudo-terminal (the tool opens its path as it
// would a serial port) or a TCP port on which one client at a time is served.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tessavo::sim {

class SimEndpoint {
  public:
    virtual ~SimEndpoint() = default;
    // The pty's path or "ADDRESS:PORT".
    virtual std::string Describe() const = 0;
    // A connection's descriptor (non-blocking), or -1 when none came within `timeoutMs`.
    virtual int Accept(int timeoutMs) = 0;
    virtual void Drop(int fd) = 0;
    // Whether a dropped connection can be followed by another (a pty's master, once closed,
    // takes its path with it).
    virtual bool Reconnects() const = 0;
};

std::unique_ptr<SimEndpoint> OpenPtyEndpoint(std::string& error);
// `port` 0 lets the system choose one.
std::unique_ptr<SimEndpoint> OpenTcpEndpoint(const std::string& address, uint16_t port,
                                             std::string& error);

}  // namespace tessavo::sim
