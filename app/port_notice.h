#pragma once
// What the window tells about the ports it could not use: after the
// no-connection message, the devices refused for lack of permission or as
// busy, with what the user can do about it; in the message's details, every
// port the scan tried with what happened there.

#include <QString>
#include <string>
#include <vector>

#include "serial/open_failure.h"

// One text for all refused devices, in Russian. Devices refused for another
// reason are left out; empty when none remains.
QString PortNotice(const std::vector<OpenFailure>& refusals);

// Why a device could not be opened and, where the user can do something
// about it, what: "нет прав доступа (Permission denied). Добавьте ...".
QString OpenFailureText(const OpenFailure& failure);

// A port the scan tried: its name, and whether it opened (the panel then did
// not answer) or why not.
struct PortTry {
  std::string name;
  bool opened = false;
  OpenFailure failure;
};

// One line per port tried, in the order tried.
QString PortTriesText(const std::vector<PortTry>& tries);
