#pragma once
// The serial port as the configurator uses it with the panel: the settings
// its component carries, and the (re)opening on a named device. The window
// and the command-line tool open the port the same way.

#include <string>

#include "serial/comm_values.h"

// The values the window's component Comm1 carries before any code runs:
// 19200 baud, 8 data bits, no parity, one stop bit, no flow control, DTR held
// on, queues of 250 bytes, NUL bytes dropped.
TSerialCommValues Comm1Values();

// Closes the port if open, sets 19200 baud, no parity, the device name and no
// flow control, opens it and logs "Открыли устройство <name> на скорости
// 19200". Any error ends these steps silently: the port then stays closed and
// the next exchange fails.
void ReopenForPanel(TCustomComm& comm, const std::string& deviceName);
