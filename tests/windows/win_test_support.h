#pragma once
// Shared by the Windows tests: where their COM ports are, whether they run
// under Wine, child programs, threads, and serving line events.

#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "fakes/serve.h"  // ServeUntil, ServeFor

// The port whose far end is the panel simulator, and the one whose far end
// sends back every byte ("COM5", "COM12" unless configured otherwise).
std::string SimPort();
std::string EchoPort();

// True under Wine. Wine departs from Windows in a few known ways (README,
// "Windows"); a test tolerates one of them only where this holds.
bool RunningUnderWine();

// Threads that this program started (through the C runtime, as std::thread
// does) since the watch began and that still run. Threads the system starts
// for itself, as Windows and Wine both do now and then, do not count.
class ThreadWatch {
 public:
  ThreadWatch();
  int Started() const;
  // Started() once it shows count, or after timeoutMs what it shows then: a
  // new thread is known by its start only once it runs.
  int StartedEventually(int count, int timeoutMs = 2000) const;

 private:
  std::set<uint32_t> before_;
};

// A path of the Linux host (as a build gives it under Wine) as Windows sees
// it: drive Z: is the host's root. Other paths come back unchanged.
std::string HostPathForWindows(const std::string& path);

struct ProgramRun {
  uint32_t exitCode = 0;
  std::string out;  // standard output, bytes as written
  std::string err;  // standard error
  bool timedOut = false;
};

// Runs a program with arguments (quoted for its command line here), feeding
// input to its standard input, in the current directory; ends it after
// timeoutMs.
ProgramRun RunProgram(const std::string& program, const std::string& arguments,
                      const std::string& input = {}, uint32_t timeoutMs = 30000);

// The user's regional short date and long time formats, put back as they
// were when this object ends.
class UserFormats {
 public:
  UserFormats();
  ~UserFormats();
  UserFormats(const UserFormats&) = delete;
  UserFormats& operator=(const UserFormats&) = delete;

  // Sets both (UTF-8), as the user would in the regional settings.
  static bool Set(const std::string& shortDate, const std::string& longTime);

 private:
  std::wstring shortDate_;
  std::wstring longTime_;
};
