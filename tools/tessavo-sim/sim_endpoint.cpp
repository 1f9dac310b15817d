#include "sim_endpoint.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tessavo::sim {
namespace {

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

class PtyEndpoint : public SimEndpoint {
  public:
    ~PtyEndpoint() override {
        if (master_ >= 0) ::close(master_);
        if (slave_ >= 0) ::close(slave_);
    }

    bool Open(std::string& error) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            error = SystemError("cannot create a pseudo-terminal");
            return false;
        }
        const char* name = ::ptsname(master_);
        if (name == nullptr) {
            error = SystemError("cannot name the pseudo-terminal");
            return false;
        }
        path_ = name;
        // Holding the terminal side open keeps the master from reporting a hang-up before
        // the tool opens it; raw mode keeps every byte as it is (no echo, no line editing).
        slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY);
        if (slave_ < 0) {
            error = SystemError("cannot open " + path_);
            return false;
        }
        termios mode{};
        if (::tcgetattr(slave_, &mode) == 0) {
            ::cfmakeraw(&mode);
            ::tcsetattr(slave_, TCSANOW, &mode);
        }
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        return true;
    }

    std::string Describe() const override { return path_; }
    int Accept(int timeoutMs) override {
        if (given_) {
            ::poll(nullptr, 0, timeoutMs);
            return -1;
        }
        given_ = true;
        return master_;
    }
    void Drop(int fd) override {
        if (fd == master_) {
            ::close(master_);
            master_ = -1;
        }
    }
    bool Reconnects() const override { return false; }

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    bool given_ = false;
};

class TcpEndpoint : public SimEndpoint {
  public:
    ~TcpEndpoint() override {
        if (listener_ >= 0) ::close(listener_);
    }

    bool Open(const std::string& address, uint16_t port, std::string& error) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (listener_ < 0) {
            error = SystemError("cannot create a socket");
            return false;
        }
        int on = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(port);
        if (::inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1) {
            error = "not an IPv4 address: " + address;
            return false;
        }
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
            ::listen(listener_, 1) != 0) {
            error = SystemError("cannot listen on " + address + ":" + std::to_string(port));
            return false;
        }
        socklen_t length = sizeof where;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&where), &length);
        description_ = address + ":" + std::to_string(ntohs(where.sin_port));
        return true;
    }

    std::string Describe() const override { return description_; }
    int Accept(int timeoutMs) override {
        pollfd wait{listener_, POLLIN, 0};
        if (::poll(&wait, 1, timeoutMs) <= 0) return -1;
        int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        }
        return fd;
    }
    void Drop(int fd) override { ::close(fd); }
    bool Reconnects() const override { return true; }

  private:
    int listener_ = -1;
    std::string description_;
};

}  // namespace

std::unique_ptr<SimEndpoint> OpenPtyEndpoint(std::string& error) {
    auto endpoint = std::make_unique<PtyEndpoint>();
    if (!endpoint->Open(error)) return nullptr;
    return endpoint;
}

std::unique_ptr<SimEndpoint> OpenTcpEndpoint(const std::string& address, uint16_t port,
                                             std::string& error) {
    auto endpoint = std::make_unique<TcpEndpoint>();
    if (!endpoint->Open(address, port, error)) return nullptr;
    return endpoint;
}

}  // namespace tessavo::sim
