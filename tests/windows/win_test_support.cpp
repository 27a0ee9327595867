#include "win_test_support.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// needs the types of windows.h
#include <tlhelp32.h>

#include <process.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "fakes/temp_dir.h"
#include "platform/wide_text.h"
#include "serial/sync_queue.h"

std::string SimPort() {
  return ORVEX_TEST_SIM_PORT;
}

std::string EchoPort() {
  return ORVEX_TEST_ECHO_PORT;
}

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

namespace {

// Where a thread began: its Win32 start address (ThreadQuerySetWin32StartAddress).
void* ThreadStart(DWORD id) {
  using Query = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  static const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread")));
  void* start = nullptr;
  const HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, id);
  if (thread == nullptr) return nullptr;
  if (query == nullptr || query(thread, 9, &start, sizeof start, nullptr) != 0) start = nullptr;
  CloseHandle(thread);
  return start;
}

HMODULE ModuleOf(const void* address) {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      static_cast<const char*>(address), &module);
  return module;
}

// The threads of this process that the C runtime started.
std::set<uint32_t> RuntimeThreadIds() {
  static const HMODULE runtime = ModuleOf(reinterpret_cast<void*>(&_beginthreadex));
  std::set<uint32_t> ids;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  const DWORD self = GetCurrentProcessId();
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != self) continue;
    const void* start = ThreadStart(entry.th32ThreadID);
    if (start != nullptr && ModuleOf(start) == runtime) ids.insert(entry.th32ThreadID);
  }
  CloseHandle(snapshot);
  return ids;
}

}  // namespace

ThreadWatch::ThreadWatch() : before_(RuntimeThreadIds()) {}

int ThreadWatch::Started() const {
  int started = 0;
  for (uint32_t id : RuntimeThreadIds()) {
    if (before_.count(id) == 0) ++started;
  }
  return started;
}

int ThreadWatch::StartedEventually(int count, int timeoutMs) const {
  int started = -1;
  ServeUntil([&] { return (started = Started()) == count; }, timeoutMs);
  return started;
}

std::string HostPathForWindows(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string windows = "Z:" + path;
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  return windows;
}

namespace {

// A file handle the child inherits: its standard input, output or error.
class InheritedFile {
 public:
  InheritedFile(const std::string& path, bool forWriting) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    handle_ = CreateFileA(
        path.c_str(), forWriting ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
        &inherit, forWriting ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  ~InheritedFile() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  InheritedFile(const InheritedFile&) = delete;
  InheritedFile& operator=(const InheritedFile&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

std::string TempFileName(const char* prefix) {
  char folder[MAX_PATH];
  char name[MAX_PATH];
  if (GetTempPathA(sizeof folder, folder) == 0 || GetTempFileNameA(folder, prefix, 0, name) == 0)
    return std::string(prefix) + ".tmp";
  return name;
}

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::string& arguments,
                      const std::string& input, uint32_t timeoutMs) {
  ProgramRun run;
  const std::string inPath = TempFileName("oin");
  const std::string outPath = TempFileName("oout");
  const std::string errPath = TempFileName("oerr");
  { std::ofstream(inPath, std::ios::binary) << input; }
  {
    InheritedFile in(inPath, false);
    InheritedFile out(outPath, true);
    InheritedFile err(errPath, true);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.get();
    startup.hStdOutput = out.get();
    startup.hStdError = err.get();
    std::string commandLine = "\"" + program + "\" " + arguments;
    PROCESS_INFORMATION process{};
    // Wine's loader now and then cannot place a new process's shared page
    // ("failed to map the shared user data: c0000018") and the start fails
    // with ERROR_INTERNAL_ERROR before the program runs; the next try lands
    // elsewhere. Any other failure, and any on Windows, is reported at once.
    bool started = false;
    DWORD startError = ERROR_SUCCESS;
    for (int tries = 0; !started && tries < 3; ++tries) {
      started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                               nullptr, &startup, &process) != 0;
      startError = started ? ERROR_SUCCESS : GetLastError();
      if (startError != ERROR_INTERNAL_ERROR || !RunningUnderWine()) break;
    }
    if (!started) {
      run.exitCode = 0xFFFFFFFF;
      run.err = "cannot start " + program + ": error " + std::to_string(startError);
    } else {
      if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        run.timedOut = true;
        TerminateProcess(process.hProcess, 0xFFFFFFFE);
        WaitForSingleObject(process.hProcess, INFINITE);
      }
      DWORD code = 0;
      GetExitCodeProcess(process.hProcess, &code);
      run.exitCode = code;
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
  }
  run.out = ReadFileBytes(outPath);
  run.err += ReadFileBytes(errPath);
  DeleteFileA(inPath.c_str());
  DeleteFileA(outPath.c_str());
  DeleteFileA(errPath.c_str());
  return run;
}

namespace {

std::wstring UserFormat(LCTYPE type) {
  wchar_t text[128];
  const int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text, 128);
  return length > 0 ? std::wstring(text, static_cast<size_t>(length - 1)) : std::wstring();
}

bool SetUserFormats(const std::wstring& shortDate, const std::wstring& longTime) {
  return SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, shortDate.c_str()) &&
         SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, longTime.c_str());
}

}  // namespace

UserFormats::UserFormats()
    : shortDate_(UserFormat(LOCALE_SSHORTDATE)), longTime_(UserFormat(LOCALE_STIMEFORMAT)) {}

UserFormats::~UserFormats() {
  if (!shortDate_.empty() && !longTime_.empty()) SetUserFormats(shortDate_, longTime_);
}

bool UserFormats::Set(const std::string& shortDate, const std::string& longTime) {
  return SetUserFormats(WideFromUtf8(shortDate), WideFromUtf8(longTime));
}
