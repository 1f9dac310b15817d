// Serial port on Windows (COMn): 8 data bits, no parity, one stop bit, no flow control,
// reads that return as soon as a byte is there or when the time given has passed.
#ifdef _WIN32

#include <windows.h>

#include "transport.h"

namespace tessavo::capture {
namespace {

std::string SystemMessage(DWORD code) {
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   text, sizeof text, nullptr);
    std::string message = text;
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
        message.pop_back();
    }
    return message;
}

class WindowsSerialTransport : public Transport {
  public:
    WindowsSerialTransport(std::string path, uint32_t baud) : path_(std::move(path)), baud_(baud) {}
    ~WindowsSerialTransport() override { Close(); }

    std::string Name() const override { return path_; }

    bool Open(std::string& error) override {
        // COM10 and above are reached only through the device namespace; it works for all.
        const std::string device = path_.rfind("\\\\.\\", 0) == 0 ? path_ : "\\\\.\\" + path_;
        handle_ = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) {
            error = "cannot open " + path_ + ": " + SystemMessage(GetLastError());
            return false;
        }
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(handle_, &dcb)) {
            error = path_ + " is not a serial port: " + SystemMessage(GetLastError());
            Close();
            return false;
        }
        dcb.BaudRate = baud_;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        dcb.fParity = FALSE;
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fNull = FALSE;
        dcb.fAbortOnError = FALSE;
        if (!SetCommState(handle_, &dcb)) {
            error = "cannot set up " + path_ + ": " + SystemMessage(GetLastError());
            Close();
            return false;
        }
        PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR);
        return true;
    }

    ReadResult Read(std::span<uint8_t> buffer, int timeoutMs) override {
        if (timeoutMs != timeoutMs_) {
            // MAXDWORD interval and multiplier with a constant: return at once with what has
            // arrived, wait up to the constant for a first byte.
            COMMTIMEOUTS timeouts{};
            timeouts.ReadIntervalTimeout = MAXDWORD;
            timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
            timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(timeoutMs > 0 ? timeoutMs : 1);
            timeouts.WriteTotalTimeoutConstant = 1000;
            SetCommTimeouts(handle_, &timeouts);
            timeoutMs_ = timeoutMs;
        }
        DWORD got = 0;
        if (!ReadFile(handle_, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            // A USB serial device unplugged fails its reads (access denied, device removed).
            return {ReadStatus::kGone, 0, SystemMessage(GetLastError())};
        }
        if (got == 0) return {ReadStatus::kTimeout, 0, {}};
        return {ReadStatus::kData, static_cast<size_t>(got), {}};
    }

    bool Write(std::span<const uint8_t> bytes, std::string& error) override {
        while (!bytes.empty()) {
            DWORD sent = 0;
            if (!WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &sent,
                           nullptr) ||
                sent == 0) {
                error = SystemMessage(GetLastError());
                return false;
            }
            bytes = bytes.subspan(sent);
        }
        return true;
    }

    void Close() override {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        timeoutMs_ = -1;
    }

  private:
    std::string path_;
    uint32_t baud_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    int timeoutMs_ = -1;
};

}  // namespace

std::unique_ptr<Transport> MakeSerialTransport(const std::string& path, uint32_t baud) {
    return std::make_unique<WindowsSerialTransport>(path, baud);
}

// TCP bridges are read on POSIX systems only.
std::unique_ptr<Transport> MakeTcpTransport(const std::string&, uint16_t) {
    return nullptr;
}

}  // namespace tessavo::capture

#endif
