// The library's only output: fixed one-line messages for bad arguments and failed allocations.
#pragma once

namespace tessavo {

// Writes the message where TESSAVO_MESSAGES says, read at each message so a host may change
// it at any time: "stderr", "off" (dropped) or "stdout"; unset or any other value is
// standard output. The stream is flushed, so hosts see messages in order with their own.
void PrintMessage(const char* message);

}  // namespace tessavo
