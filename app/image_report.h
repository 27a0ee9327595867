#pragma once
// What the window tells about the panel, in the words of its pages: the
// fields by their Russian names ("Ключ 2", "Номер 3 (Размыкание шлейфа 2)"),
// the values as the pages and the settings file show them, and why a read or
// a write failed. Commands and the exact replies stay in log.txt.

#include <QString>
#include <exception>
#include <string>
#include <vector>

#include "panel/operation.h"
#include "panel/panel_image.h"

// The name a user reads for a field of the settings file ("key2", "number3",
// "dial5", "day1"); the file's name itself for any other.
QString FieldCaption(const std::string& field);

// The field a step reads or writes, named as the pages name it ("Ключ 2",
// "Ключ у считывателя", "Флаги «Дозвон» и «24 часа»", "Номер 3
// (Размыкание шлейфа 2)").
QString StepCaption(const Step& step);
// The same inside a sentence: "ключ 2", "флаги «Дозвон» и «24 часа»".
QString StepInSentence(const Step& step);

// What was wrong with a reply, in the window's words.
QString ReplyProblemText(ReplyProblem problem);

// One line per field in which first and second differ, in file order:
// "Ключ 2: в файле «…», в панели «…»" with the given labels ("в файле",
// "в панели"). Empty when they are the same.
QString DifferenceLines(const PanelImage& first, const PanelImage& second,
                        const QString& firstLabel, const QString& secondLabel);

// One line for each step of a story that was not taken, the one at fault
// first: "Ключ 2: охранная панель не ответила". Steps of the read-back say
// so.
// part: the writes alone (a write nothing came to left out) or the
// read-back alone, each line then without the read-back's lead and ended by
// lineEnd.
enum class StoryPart { kAll, kWrites, kReadBack };
QString StoryText(const Outcome& story, StoryPart part = StoryPart::kAll,
                  const QString& lineEnd = QString());

// The cause of an error that ended an exchange with the panel on port (empty
// when it is not known): the story of an operation that failed, a closed
// port, a lost line with the system's words, the log.
QString ExchangeFailureText(const std::exception& error, const QString& port);
