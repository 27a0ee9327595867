#include "state_saver.h"

#include <signal.h>

#include <utility>

#include "command_log.h"

StateSaver::StateSaver(std::string path) : path_(std::move(path)) {
  // The signals that stop the simulator belong to its poll loop, which
  // learns of them through its signal pipe: this thread takes none of them.
  sigset_t blocked, previous;
  sigemptyset(&blocked);
  for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) sigaddset(&blocked, sig);
  pthread_sigmask(SIG_BLOCK, &blocked, &previous);
  thread_ = std::thread([this] { Run(); });
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

StateSaver::~StateSaver() {
  Flush();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void StateSaver::Save(const PanelState& state) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_ = state;
  }
  wake_.notify_one();
}

void StateSaver::Flush() {
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return !pending_ && !writing_; });
}

void StateSaver::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return pending_ || stopping_; });
    if (!pending_) return;  // stopping, and nothing left to save
    const PanelState state = *pending_;
    pending_.reset();
    writing_ = true;
    lock.unlock();
    std::string error;
    if (!SaveStateFile(path_, state, error)) CommandLog::Warn(error + "; the change is not saved");
    lock.lock();
    writing_ = false;
    done_.notify_all();
  }
}
