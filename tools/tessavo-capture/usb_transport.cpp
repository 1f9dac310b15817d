// placeholder replaced below
#include "transport.h"
namespace tessavo::capture {
std::unique_ptr<Transport> MakeUsbTransport(uint16_t, uint16_t, std::optional<int>) { return nullptr; }
}  // namespace tessavo::capture
