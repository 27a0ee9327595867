#pragma once
// The tool's words for an operation's story (panel/operation.h): which
// command went wrong, what came, and what to do. Each program words the
// same outcome; these are the tool's English ones.

#include <string>

#include "panel/operation.h"

// A command as the user knows it, the field beside the command: "number3
// (+H03)", "key2 (+T02)", "the dial and day flags (+s)", "the probe
// (+T01)", "the presented key (+T00)".
std::string StepName(const Step& step);

// Bytes between double quotes, escaped so that they can be read.
std::string Quoted(const std::string& bytes);

// One line for each step of the phases chosen that was not taken, the
// step at fault first, on port; empty when there is none. skipStopped
// leaves out a write that nothing came to (the caller says it stopped).
enum class StoryPart { kAll, kWrites, kReadBack };
std::string StoryLines(const Outcome& story, const std::string& port, StoryPart part,
                       bool skipStopped = false);

// What to do next, for the fault the story blames first: again is the
// command that repeats the work ("read again").
std::string StoryAdvice(const Outcome& story, const std::string& again);
