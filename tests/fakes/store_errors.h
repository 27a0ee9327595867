#pragma once
// What a settings-store operation reports: its message, or "no error".

#include <functional>
#include <string>

#include "support/registry_key.h"

inline std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const ERegistryException& e) {
    return e.what();
  }
  return "no error";
}
