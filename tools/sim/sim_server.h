#pragma once
// Serves the simulated panel on a pseudo-terminal until it is told to stop.

#include "sim_options.h"

// Returns the process exit status.
int RunSimulator(const SimOptions& options);
