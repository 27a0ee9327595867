#pragma once
// What the window tells about the panel, in the words of its pages: the
// fields by their Russian names ("Ключ 2", "Номер 3 (Размыкание шлейфа 2)"),
// the values as the pages and the settings file show them, and why a read or
// a write failed. Commands and the exact replies stay in log.txt.

#include <QString>
#include <exception>
#include <string>
#include <vector>

#include "panel/panel_image.h"
#include "panel/reply_checks.h"

// The name a user reads for a field of the settings file ("key2", "number3",
// "dial5", "day1"); the file's name itself for any other.
QString FieldCaption(const std::string& field);

// The field a command reads or writes, named as the pages name it ("+T02"
// "Ключ 2", "+T00" "Ключ у считывателя", "+s" "Флаги «Дозвон» и «24 часа»",
// "+H03" "Номер 3 (Размыкание шлейфа 2)"), with or without its data.
QString CommandCaption(const std::string& command);
// The same inside a sentence: "ключ 2", "флаги «Дозвон» и «24 часа»".
QString CommandInSentence(const std::string& command);

// What was wrong with a reply, in the window's words.
QString ReplyProblemText(ReplyProblem problem);

// One line per field in which first and second differ, in file order:
// "Ключ 2: в файле «…», в панели «…»" with the given labels ("в файле",
// "в панели"). Empty when they are the same.
QString DifferenceLines(const PanelImage& first, const PanelImage& second,
                        const QString& firstLabel, const QString& secondLabel);

// "Ключ 2: охранная панель не ответила".
QString RefusalText(const RefusedReply& refused);

// The writes the panel did not confirm, one line each, with why: commands
// without their data, and what came for each (empty when nothing came).
QString UnconfirmedLines(const std::vector<std::string>& commands,
                         const std::vector<std::string>& came);

// The cause of an error that ended an exchange with the panel on port (empty
// when it is not known): the replies refused, the unconfirmed writes, a closed
// port, a lost line with the system's words, the log.
QString ExchangeFailureText(const std::exception& error, const QString& port);
