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

// A port the scan tried: its name, whether it opened or why not, whether the
// panel answered the probe there, and why the read that followed failed.
struct PortTry {
  std::string name;
  bool opened = false;
  OpenFailure failure;
  bool answered = false;
  QString read_failure;
};

// One line per port, in the order first tried; a port tried twice is told by
// what it showed most of (an answer, then an opening, then why it did not
// open). Then, after "Что делать:", each cause met with its next step, once.
QString PortTriesText(const std::vector<PortTry>& tries);
