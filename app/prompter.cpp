#include "app/prompter.h"

#include "app/message_boxes.h"

namespace {

Prompter* g_prompter = nullptr;

}  // namespace

Prompter& CurrentPrompter() {
  static TMessageBoxes boxes;
  return g_prompter ? *g_prompter : boxes;
}

void SetPrompter(Prompter* prompter) {
  g_prompter = prompter;
}
