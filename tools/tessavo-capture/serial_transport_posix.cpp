// Serial tty (a handset's diagnostic interface through its USB serial driver, or a pty):
// raw mode, 8 data bits, no parity, one stop bit, no flow control.
#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "fd_transport.h"
#include "serial_speed.h"

namespace tessavo::capture {
namespace {

class SerialTransport : public FdTransport {
  public:
    SerialTransport(std::string path, uint32_t baud) : path_(std::move(path)), baud_(baud) {}

    std::string Name() const override { return path_; }

    bool Open(std::string& error) override {
        fd_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) {
            error = "cannot open " + path_ + ": " + std::strerror(errno);
            return false;
        }
        termios mode{};
        if (::tcgetattr(fd_, &mode) != 0) {
            error = path_ + " is not a serial port: " + std::strerror(errno);
            Close();
            return false;
        }
        ::cfmakeraw(&mode);
        mode.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS);
        mode.c_cflag |= CLOCAL | CREAD | CS8;
        mode.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        mode.c_cc[VMIN] = 1;
        mode.c_cc[VTIME] = 0;
        speed_t speed = 0;
        if (!PosixSpeed(baud_, speed)) {
            error = "unsupported baud rate " + std::to_string(baud_);
            Close();
            return false;
        }
        ::cfsetispeed(&mode, speed);
        ::cfsetospeed(&mode, speed);
        if (::tcsetattr(fd_, TCSANOW, &mode) != 0) {
            error = "cannot set up " + path_ + ": " + std::strerror(errno);
            Close();
            return false;
        }
        ::tcflush(fd_, TCIOFLUSH);
        return true;
    }

  private:
    std::string path_;
    uint32_t baud_;
};

}  // namespace

std::unique_ptr<Transport> MakeSerialTransport(const std::string& path, uint32_t baud) {
    return std::make_unique<SerialTransport>(path, baud);
}

}  // namespace tessavo::capture

#endif
