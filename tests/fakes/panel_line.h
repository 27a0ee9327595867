#pragma once
// The line the configurator uses with the panel, on a device of the test's
// choosing: the window's own component values (needs orvex_panel).

#include <string>

#include "panel/panel_port.h"

inline void SetPanelLine(TCustomComm& comm, const std::string& device) {
  RestorePublishedValues(comm, Comm1Values());
  comm.SetDeviceName(device);
}
