// A capture in the other forms users have: compressed with gzip, zstd or xz (through the
// libraries, at their defaults) and converted to DLF (each log packet's record, the frames
// that fail their CRC or carry no log packet left out).
#pragma once

#include "cli_harness.h"

namespace tessavo::cli::test {

Bytes Gzip(const Bytes& bytes);
Bytes Zstd(const Bytes& bytes);
Bytes Xz(const Bytes& bytes);
Bytes DlfOf(const Bytes& hdlcStream);

}  // namespace tessavo::cli::test
