#pragma once
// For tests of what file permissions refuse: root may open anything, and the
// tests run as root in CI.

#include <functional>

namespace orvex_test {

// Runs check in a child process as the user "nobody" when this process is
// root (POSIX); as itself otherwise, and on Windows in this process. Returns
// check's result, or -1 when the privileges could not be dropped or the child
// did not end normally. check must not use GoogleTest's assertions.
int RunUnprivileged(const std::function<int()>& check);

}  // namespace orvex_test
