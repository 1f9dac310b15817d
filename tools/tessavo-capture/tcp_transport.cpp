// TCP client of a DIAG bridge (a forwarded port, a simulator).
#ifndef _WIN32

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "fd_transport.h"

namespace tessavo::capture {
namespace {

class TcpTransport : public FdTransport {
  public:
    TcpTransport(std::string host, uint16_t port) : host_(std::move(host)), port_(port) {}

    std::string Name() const override { return host_ + ":" + std::to_string(port_); }

    bool Open(std::string& error) override {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (int rc = ::getaddrinfo(host_.c_str(), std::to_string(port_).c_str(), &hints, &found);
            rc != 0) {
            error = "cannot resolve " + host_ + ": " + ::gai_strerror(rc);
            return false;
        }
        int lastError = 0;
        for (addrinfo* at = found; at != nullptr && fd_ < 0; at = at->ai_next) {
            fd_ = ::socket(at->ai_family, at->ai_socktype | SOCK_CLOEXEC, at->ai_protocol);
            if (fd_ < 0) continue;
            if (::connect(fd_, at->ai_addr, at->ai_addrlen) != 0) {
                lastError = errno;
                ::close(fd_);
                fd_ = -1;
            }
        }
        ::freeaddrinfo(found);
        if (fd_ < 0) {
            error = "cannot connect to " + Name() + ": " + std::strerror(lastError);
            return false;
        }
        // Requests are a few bytes each; they go out at once.
        int on = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        return true;
    }

  private:
    std::string host_;
    uint16_t port_;
};

}  // namespace

std::unique_ptr<Transport> MakeTcpTransport(const std::string& host, uint16_t port) {
    return std::make_unique<TcpTransport>(host, port);
}

}  // namespace tessavo::capture

#endif
