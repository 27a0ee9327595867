#pragma once
// Serves the simulated panel on a pseudo-terminal until it is told to stop.

#include "sim_options.h"

namespace orvex_sim {

// Returns the process exit status.
int RunSimulator(const SimOptions& options);

}  // namespace orvex_sim
