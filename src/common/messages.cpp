#include "common/messages.h"

#include <cstdio>

namespace tessavo {

void PrintMessage(const char* message) {
    std::fputs(message, stdout);
    std::fflush(stdout);
}

}  // namespace tessavo
