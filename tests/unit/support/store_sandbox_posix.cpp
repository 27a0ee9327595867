#include "store_sandbox.h"

#include "config_home.h"

struct StoreSandbox::Place {
  ScratchConfigHome home;
};

StoreSandbox::StoreSandbox() : place_(std::make_unique<Place>()) {}

StoreSandbox::~StoreSandbox() = default;
