// Baud rates a serial port is opened with.
#pragma once

#include <cstdint>

#ifndef _WIN32
#include <termios.h>
#endif

namespace tessavo::capture {

inline constexpr uint32_t kDefaultBaud = 115200;

#ifndef _WIN32
// The termios speed of `baud`; false for a rate termios has no constant for.
inline bool PosixSpeed(uint32_t baud, speed_t& speed) {
    struct Rate {
        uint32_t baud;
        speed_t speed;
    };
    static constexpr Rate kRates[] = {
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},   {460800, B460800},   {921600, B921600},
        {1000000, B1000000}, {2000000, B2000000}, {3000000, B3000000}, {4000000, B4000000}};
    for (const Rate& rate : kRates) {
        if (rate.baud == baud) {
            speed = rate.speed;
            return true;
        }
    }
    return false;
}
#endif

}  // namespace tessavo::capture
