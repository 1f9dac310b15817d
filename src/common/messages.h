// The library's only output: fixed one-line messages for bad arguments and failed allocations.
#pragma once

namespace tessavo {

// Writes the message to standard output and flushes, so hosts see messages in order.
void PrintMessage(const char* message);

}  // namespace tessavo
