#pragma once
// CPU time for benchmarks, user and system (kernel) together, in seconds.

namespace orvex_test {

// What this process has spent so far.
double CpuSeconds();

// What its children have spent, those that have ended and been waited for
// (POSIX; 0 on Windows).
double ChildrenCpuSeconds();

}  // namespace orvex_test
