#pragma once
// The notice shown after the no-connection message when a port of the scan
// was refused for lack of permission or as busy: which devices, and what the
// user can do about it.

#include <QString>
#include <vector>

#include "serial/open_failure.h"

// One text for all refused devices, in Russian. Devices refused for another
// reason are left out; empty when none remains.
QString PortNotice(const std::vector<OpenFailure>& refusals);
