// The simulated handset: serves one endpoint, answers the DIAG commands it reads and replays
// the capture's log frames that the current log masks enable, at the capture's pace.
#pragma once

#include <ostream>

#include "sim_options.h"

namespace tessavo::sim {

// Runs until SIGINT/SIGTERM (exit 0), or until a pty's connection was dropped. Prints the
// endpoint ("tessavo-sim: serving PATH" or "... listening on ADDRESS:PORT") on `out` first.
int RunSimulator(const SimOptions& options, std::ostream& out, std::ostream& err);

}  // namespace tessavo::sim
