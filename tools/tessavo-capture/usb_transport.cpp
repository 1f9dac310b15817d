// USB bulk transport through libusb-1.0: the diagnostic interface claimed from whatever
// kernel driver holds it (usually the USB serial driver) and given back on close.
#include "transport.h"

#ifdef TESSAVO_HAVE_LIBUSB

#include <libusb.h>

#include <cstdio>

#include "usb_interface_choice.h"

namespace tessavo::capture {
namespace {

constexpr unsigned kWriteTimeoutMs = 1000;

std::string UsbError(int code) {
    return libusb_strerror(static_cast<libusb_error>(code));
}

std::vector<UsbInterfaceInfo> DescribeInterfaces(const libusb_config_descriptor& config) {
    std::vector<UsbInterfaceInfo> interfaces;
    for (int i = 0; i < config.bNumInterfaces; ++i) {
        const libusb_interface& entry = config.interface[i];
        for (int a = 0; a < entry.num_altsetting; ++a) {
            const libusb_interface_descriptor& alt = entry.altsetting[a];
            UsbInterfaceInfo info{alt.bInterfaceNumber,   alt.bAlternateSetting,
                                  alt.bInterfaceClass,    alt.bInterfaceSubClass,
                                  alt.bInterfaceProtocol, {}};
            for (int e = 0; e < alt.bNumEndpoints; ++e) {
                info.endpoints.push_back(
                    {alt.endpoint[e].bEndpointAddress, alt.endpoint[e].bmAttributes});
            }
            interfaces.push_back(std::move(info));
        }
    }
    return interfaces;
}

class UsbTransport : public Transport {
  public:
    UsbTransport(uint16_t vendor, uint16_t product, std::optional<int> interfaceNumber)
        : vendor_(vendor), product_(product), wanted_(interfaceNumber) {}
    ~UsbTransport() override {
        Close();
        if (context_ != nullptr) libusb_exit(context_);
    }

    std::string Name() const override {
        char text[64];
        std::snprintf(text, sizeof text, "USB %04x:%04x", vendor_, product_);
        std::string name = text;
        if (claimed_ || wanted_)
            name += " interface " + std::to_string(claimed_ ? choice_.number : *wanted_);
        return name;
    }

    bool Open(std::string& error) override {
        if (context_ == nullptr && libusb_init(&context_) != 0) {
            error = "cannot start libusb";
            return false;
        }
        handle_ = libusb_open_device_with_vid_pid(context_, vendor_, product_);
        if (handle_ == nullptr) {
            error = "no USB device " + Name() + " (or no permission to open it)";
            return false;
        }
        libusb_config_descriptor* config = nullptr;
        int rc = libusb_get_active_config_descriptor(libusb_get_device(handle_), &config);
        if (rc != 0) {
            error = "cannot read the configuration of " + Name() + ": " + UsbError(rc);
            Close();
            return false;
        }
        auto choice = ChooseDiagInterface(DescribeInterfaces(*config), wanted_, error);
        libusb_free_config_descriptor(config);
        if (!choice) {
            error = Name() + ": " + error;
            Close();
            return false;
        }
        choice_ = *choice;
        if (libusb_kernel_driver_active(handle_, choice_.number) == 1) {
            rc = libusb_detach_kernel_driver(handle_, choice_.number);
            if (rc != 0) {
                error = "cannot detach the kernel driver from " + Name() + ": " + UsbError(rc);
                Close();
                return false;
            }
            reattach_ = true;
        }
        rc = libusb_claim_interface(handle_, choice_.number);
        if (rc == 0 && choice_.altSetting != 0) {
            rc = libusb_set_interface_alt_setting(handle_, choice_.number, choice_.altSetting);
        }
        if (rc != 0) {
            error = "cannot claim " + Name() + " interface " + std::to_string(choice_.number) +
                    ": " + UsbError(rc);
            Close();
            return false;
        }
        claimed_ = true;
        return true;
    }

    ReadResult Read(std::span<uint8_t> buffer, int timeoutMs) override {
        int got = 0;
        int rc = libusb_bulk_transfer(handle_, choice_.in, buffer.data(),
                                      static_cast<int>(buffer.size()), &got,
                                      static_cast<unsigned>(timeoutMs));
        if (got > 0) return {ReadStatus::kData, static_cast<size_t>(got), {}};
        if (rc == 0 || rc == LIBUSB_ERROR_TIMEOUT) return {ReadStatus::kTimeout, 0, {}};
        if (rc == LIBUSB_ERROR_INTERRUPTED) return {ReadStatus::kInterrupted, 0, {}};
        return {ReadStatus::kGone, 0, UsbError(rc)};
    }

    bool Write(std::span<const uint8_t> bytes, std::string& error) override {
        while (!bytes.empty()) {
            int sent = 0;
            int rc = libusb_bulk_transfer(handle_, choice_.out, const_cast<uint8_t*>(bytes.data()),
                                          static_cast<int>(bytes.size()), &sent, kWriteTimeoutMs);
            if (rc != 0 && sent == 0) {
                error = UsbError(rc);
                return false;
            }
            bytes = bytes.subspan(static_cast<size_t>(sent));
        }
        return true;
    }

    void Close() override {
        if (handle_ == nullptr) return;
        if (claimed_) libusb_release_interface(handle_, choice_.number);
        if (reattach_) libusb_attach_kernel_driver(handle_, choice_.number);
        libusb_close(handle_);
        handle_ = nullptr;
        claimed_ = reattach_ = false;
    }

  private:
    uint16_t vendor_, product_;
    std::optional<int> wanted_;
    libusb_context* context_ = nullptr;
    libusb_device_handle* handle_ = nullptr;
    UsbChoice choice_;
    bool claimed_ = false;
    bool reattach_ = false;
};

}  // namespace

std::unique_ptr<Transport> MakeUsbTransport(uint16_t vendor, uint16_t product,
                                            std::optional<int> interfaceNumber) {
    return std::make_unique<UsbTransport>(vendor, product, interfaceNumber);
}

}  // namespace tessavo::capture

#else

namespace tessavo::capture {

std::unique_ptr<Transport> MakeUsbTransport(uint16_t, uint16_t, std::optional<int>) {
    return nullptr;
}

}  // namespace tessavo::capture

#endif
