#pragma once
// The least time an operation can take, computed from the code's own steps,
// budgets and slice, so that no benchmark types a floor of its own and a
// floor follows the code when either changes.

#include <algorithm>
#include <functional>
#include <vector>

#include "panel/commands.h"
#include "panel/exchange.h"
#include "panel/operation.h"
#include "panel/panel_image.h"

namespace bench {

// How long one exchange takes on the line: the command out, the answer in.
using ExchangeMs = std::function<double(const Step& step)>;

// One operation: over the slices each answer comes inside its command's
// first slice, which the exchange waits out; over the fast link the next
// command follows the answer at once. The operation ends once every budget,
// counted from its command, has run out and the line has then been quiet a
// slice since the last answer.
inline double OperationFloorMs(const std::vector<Step>& steps, bool fast,
                               const ExchangeMs& exchangeMs) {
  double t = 0;
  double budgetsEnd = 0;
  double lastAnswer = 0;
  for (const Step& step : steps) {
    budgetsEnd = std::max(budgetsEnd, t + step.budget);
    lastAnswer = t + exchangeMs(step);
    t += fast ? exchangeMs(step) : static_cast<double>(kSliceMs);
  }
  return std::max({t, budgetsEnd, lastAnswer + kSliceMs});
}

// What is left of the budgets after the last slice: the operation's end.
inline double EndMs(const std::vector<Step>& steps, const ExchangeMs& exchangeMs) {
  return OperationFloorMs(steps, false, exchangeMs) - static_cast<double>(steps.size()) * kSliceMs;
}

// A probe that nothing answers waits out every slice of its budget.
inline double SilentProbeMs() {
  return static_cast<double>((kProbeBudget + kSliceMs - 1) / kSliceMs * kSliceMs);
}

inline std::vector<Step> Joined(std::vector<Step> a, const std::vector<Step>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The tool's read: the probe and the exact copy, one operation.
inline std::vector<Step> ToolReadSteps() {
  return Joined({ProbeStep()}, ImageReadSteps(Phase::kRead, ReadOrder::kFirst));
}

// A whole-panel write: the writes (keysLast: the tool's order), after the
// probe when one comes first, end before the read-back, which has an end
// of its own.
inline double WriteFloorMs(bool fast, bool keysLast, const ExchangeMs& exchangeMs,
                           bool probe = true) {
  std::vector<Step> writes = ImageWriteSteps(PanelImage{}, nullptr, keysLast);
  if (probe) writes = Joined({ProbeStep()}, writes);
  return OperationFloorMs(writes, fast, exchangeMs) +
         OperationFloorMs(ImageReadSteps(Phase::kReadBack, ReadOrder::kFirst), fast, exchangeMs);
}

}  // namespace bench
