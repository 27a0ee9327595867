#pragma once
// The state file kept up to date without holding up an answer. A change is
// handed over at once and written by a thread of its own, whole each time
// (SaveStateFile: a temporary file renamed over the old one), so that a slow
// disk delays the file and never the line. Changes made while a save runs go
// out together in the next one; the file is whole at every moment.

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "panel_state.h"

class StateSaver {
 public:
  explicit StateSaver(std::string path);
  // Flush, then the thread ends: a simulator that ends by a signal, a "quit"
  // or the end of its input leaves every change it answered in the file.
  ~StateSaver();
  StateSaver(const StateSaver&) = delete;
  StateSaver& operator=(const StateSaver&) = delete;

  // Never waits for the disk.
  void Save(const PanelState& state);
  // Returns once the file holds the last state handed over (or the save of
  // it has failed and been reported).
  void Flush();

 private:
  void Run();

  const std::string path_;
  std::mutex mutex_;
  std::condition_variable wake_;  // the thread: a state to save, or the end
  std::condition_variable done_;  // Flush: a save has ended
  std::optional<PanelState> pending_;
  bool writing_ = false;
  bool stopping_ = false;
  std::thread thread_;  // last: started once everything above exists
};
