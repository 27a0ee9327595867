#pragma once
// The user-interface thread's part for tests of the event thread: serving the
// calls that event threads hand over through the synchronize queue.

#include <functional>

// Serves the queue until done() holds or timeoutMs passes; the last look
// decides.
bool ServeUntil(const std::function<bool()>& done, int timeoutMs = 3000);
// Serves the queue for ms.
void ServeFor(int ms);
