#pragma once
// A serial line with a far end that a test makes send, for the contract tests
// that every serial backend must pass (event_thread_contract_test.cpp). One
// implementation per platform:
//   far_end_posix.cpp  a pseudo-terminal, written from its master side;
//   far_end_win32.cpp  the echo COM port: the component writes the bytes out,
//                      its events held, and the far end sends them back.

#include <memory>
#include <string>

#include "fakes/serve.h"  // ServeUntil, ServeFor: the tests serve the event threads

class TCustomComm;

class FarEnd {
 public:
  FarEnd();
  ~FarEnd();
  FarEnd(const FarEnd&) = delete;
  FarEnd& operator=(const FarEnd&) = delete;

  // The device name the component opens.
  std::string DeviceName() const;
  // Makes the bytes arrive at the component, which is open.
  void Send(TCustomComm& comm, const std::string& bytes);
  // Reads away what has arrived, so that the line is quiet again.
  void Drain(TCustomComm& comm);
  // Closes the far end, as a pulled cable does. POSIX only (a pseudo-terminal
  // can hang up; the echo COM port cannot).
  void HangUp();

  // Where this backend is known to depart from the contract, stated once:
  // Wine's comm layer neither keeps fNull (it reads back clear) nor applies
  // it, so NUL bytes arrive, and it lets a second handle open a port that is
  // open. Windows and POSIX do
  // neither.
  struct KnownDifferences {
    bool keepsNulBytes = false;
    bool opensTwice = false;
  };
  static KnownDifferences Differences();

  // Threads that this program started since the far end was made and that
  // still run: the component's event threads, here.
  int ThreadsStarted() const;
  // ThreadsStarted() once it shows count, or after timeoutMs what it shows.
  int ThreadsStartedEventually(int count, int timeoutMs = 2000) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
