#include "store_sandbox.h"

#include <windows.h>

namespace {

// What the sandbox's key paths and window name make in the registry.
void RemoveTestKeys() {
  RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\NolvarGSM\\Tests");
  RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\NolvarGSM\\Forms\\fOrvexTestRun");
}

}  // namespace

struct StoreSandbox::Place {};

StoreSandbox::StoreSandbox() : place_(std::make_unique<Place>()) {
  RemoveTestKeys();
}

StoreSandbox::~StoreSandbox() {
  RemoveTestKeys();
}
