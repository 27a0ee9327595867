#pragma once
// A place of its own in the platform's settings store for the span of one
// test: on POSIX a fresh XDG_CONFIG_HOME, on Windows the test keys of the
// registry of the current user, removed before and after. Tests that hold
// for every backend (store_contract_test.cpp) run in it on both platforms.

#include <memory>
#include <string>

class StoreSandbox {
 public:
  StoreSandbox();
  ~StoreSandbox();
  StoreSandbox(const StoreSandbox&) = delete;
  StoreSandbox& operator=(const StoreSandbox&) = delete;

  // A key path of the sandbox, and the name of a window whose state it holds.
  static constexpr const char* kKeyPath = "\\SOFTWARE\\NolvarGSM\\Tests\\Store";
  static constexpr const char* kWindowName = "fOrvexTestRun";

 private:
  struct Place;
  std::unique_ptr<Place> place_;
};
