#include "common/messages.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tessavo {

namespace {

// The stream named by TESSAVO_MESSAGES, or null when messages are off.
std::FILE* MessageStream() {
    const char* where = std::getenv("TESSAVO_MESSAGES");
    if (where == nullptr) return stdout;
    if (std::strcmp(where, "stderr") == 0) return stderr;
    if (std::strcmp(where, "off") == 0) return nullptr;
    return stdout;
}

}  // namespace

void PrintMessage(const char* message) {
    std::FILE* stream = MessageStream();
    if (stream == nullptr) return;
    std::fputs(message, stream);
    std::fflush(stream);
}

}  // namespace tessavo
