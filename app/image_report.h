#pragma once
// What the window tells about a copy of the panel, in the words of its pages:
// the fields by their Russian names ("Ключ 2", "Номер 3 (Размыкание шлейфа
// 2)"), the values as the settings file shows them, and why a read, a write
// failed.

#include <QString>
#include <exception>
#include <string>

#include "panel/panel_image.h"

// The name a user reads for a field of the settings file ("key2", "number3",
// "dial5", "day1"); the file's name itself for any other.
QString FieldCaption(const std::string& field);

// One line per field in which first and second differ, in file order:
// "Ключ 2: в файле «…», в панели «…»" with the given labels ("в файле",
// "в панели"). Empty when they are the same.
QString DifferenceLines(const PanelImage& first, const PanelImage& second,
                        const QString& firstLabel, const QString& secondLabel);

// Why a command's reply was not taken, for the reasons ReplyFault and the
// exact read give; an unknown reason as it is.
QString RefusalText(const RefusedReply& refused);

// The cause of an error that ended an exchange with the panel on port: the
// replies refused one per line, the unconfirmed writes, a closed port, a lost
// line with the system's words.
QString ExchangeFailureText(const std::exception& error, const QString& port);
