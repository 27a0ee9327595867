#pragma once
// What the tool and the settings store need from the system beside the
// serial line: a file replaced whole or not at all, the tool's output written
// where it is sent, the calendar, and whether a stream goes to a person. One
// implementation per platform (system_io_posix.cpp, system_io_win32.cpp),
// written as mirror images.

#include <ctime>
#include <string>

struct ReplaceOptions {
  // Not over a name that exists, decided by the rename itself where the
  // system can.
  bool exclusive = false;
  // The new file's permission bits; negative: those of any new file of the
  // user's (0666 less the umask).
  int mode = -1;
  // The temporary file's name. Empty: a name nobody can foresee, made afresh
  // beside the file. A fixed name is for a caller that holds a lock over it:
  // one left behind by a save that died is simply overwritten.
  std::string temporary;
};

// path becomes text at once: the text goes to a temporary file in path's
// folder, is flushed to the disk, the temporary file is renamed over path and
// the folder is flushed too, so that a crash at any moment leaves the old
// file or the new one whole, and the new one stays. path is taken as it is: a
// link there is replaced, not followed. False with the system's text in
// reason, and no temporary file left, when it cannot be done.
bool ReplaceFileWhole(const std::string& path, const std::string& text,
                      const ReplaceOptions& options, std::string& reason);

// The number of this process's descriptor that path names (/dev/stdout and
// /dev/fd/1 name 1), or -1 for any other path.
int DescriptorNamed(const std::string& path);

// The tool's output at path. A regular file, or the one a link names, is
// replaced whole (ReplaceFileWhole), the link kept. One of this process's
// descriptors is written into as it is, never opened anew. A FIFO or a device
// is opened without waiting and written into, never replaced; a FIFO that
// nothing reads is refused. With exclusive, a path that exists is refused.
// False with the reason otherwise.
bool WriteOutputFile(const std::string& path, const std::string& text, bool exclusive,
                     std::string& reason);

// time on the user's local calendar, and on UTC's.
std::tm LocalCalendar(std::time_t time);
std::tm UtcCalendar(std::time_t time);
// "2026-12-07T14:05:09+01:00": now on the local calendar with its offset from
// UTC (support/iso_time.cpp, portable).
std::string IsoTimeNow();

// Whether the descriptor (2: standard error) leads to a terminal, where a
// person watches.
bool IsTerminal(int descriptor);
