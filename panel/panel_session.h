#pragma once
// One panel behind one port, as both programs talk to it: the probe and the
// scan order, the window's whole-panel read over the page interfaces, and
// the exact copy that backups need (panel_image.h). The window adds only its
// question, wait window and boxes; the command-line tool only its
// arguments, files and messages.

#include <stdexcept>
#include <string>
#include <vector>

#include "panel/exchange.h"
#include "panel/operation.h"
#include "panel/page_interfaces.h"
#include "panel/panel_image.h"

// A write asked for while no device could be opened: nothing reached the
// panel, and the panel is not to blame. The message names the port.
class EPortNotOpen : public std::runtime_error {
 public:
  explicit EPortNotOpen(const std::string& port);
  const std::string& Port() const { return port_; }

 private:
  std::string port_;
};

// The probe order: the given port first, then every listed one, also when it
// is the given port again (it is probed afresh on a reopened port).
std::vector<std::string> ScanOrder(const std::string& first, const std::vector<std::string>& list);

// A port of its own, carrying the settings the window's Comm1 carries, for a
// program without the window (the command-line tool, tests, benchmarks).
class StandalonePort : public ExchangeHost {
 public:
  StandalonePort();
  TCustomComm& Comm1() override { return comm_; }
  void SetConnected(bool checked) override { connected_ = checked; }
  bool Connected() const { return connected_; }

  // The opt-in fast link: each exchange ends when its answer is complete.
  void SetEndsAnswersEarly(bool on) { early_ = on; }
  bool EndsAnswersEarly() const override { return early_; }

 private:
  TSerialComm comm_;
  bool connected_ = false;
  bool early_ = false;
};

// Every operation of both programs on one panel behind one port. Each goes
// through the one runner (operation.h): a success returns what was read, a
// failure raises EOperationFailed with the whole story for the program to
// word; the line or the log lost is in that story too.
class PanelSession {
 public:
  // debugMode decides whether the numbers page shows the boxes of events 5
  // and 6; the host's port and connection box carry every exchange.
  explicit PanelSession(ExchangeHost& host, bool debugMode = false);
  // The window learns its debug mode only after it is built.
  void SetDebugMode(bool on) { debug_mode_ = on; }

  // (Re)opens the port on name and sends the probe "+T01".
  bool Probe(const std::string& name);
  // The probe alone, on the port as it is. True when the panel accepted it;
  // the host's connection box shows the outcome either way. An answered
  // probe's end is paid by the operation that follows it on this port, which
  // takes the probe into its story; EndProbe pays it when none follows.
  bool SendProbe();
  // The probe's story, its end waited for: false when more than its answer
  // came after it (ProbeStory says what).
  bool EndProbe();
  // The last probe's story: its one step, what came and the verdict.
  const Outcome& ProbeStory() const { return probe_story_; }
  // Whether the last open got a device; the name it was asked for.
  bool PortOpen();
  std::string PortName();
  // Why the last open failed (kind kNone when it did not).
  const OpenFailure& LastOpenFailure();

  // The window's whole-panel read: the keys, then the numbers page, each
  // page's rules applied on the way. Nothing changes on either page unless
  // every answer was taken.
  void ReadAll(KeyList& keys, NumbersPage& numbers);
  // The numbers page's read, the same way.
  void ReadNumbers(NumbersPage& numbers);

  // The exact copy of the panel (panel_image.h), read in the order given.
  PanelImage ReadImage(ReadOrder order = ReadOrder::kFirst);
  // A copy that is kept: read twice, the second time in the other order;
  // EImagesDiffer when the two differ.
  PanelImage ReadImageTwice();

  // The runner every operation goes through (checked_write.h,
  // presented_key.h).
  OperationRunner& Runner() { return runner_; }

 private:
  // Ends the operation; EOperationFailed unless its story holds.
  Outcome FinishOrRaise();

  ExchangeHost& host_;
  OperationRunner runner_{host_};
  bool debug_mode_;
  Outcome probe_story_;
};

// The two reads of a copy that is kept did not agree: the fields, as the
// settings file names them.
class EImagesDiffer : public std::runtime_error {
 public:
  explicit EImagesDiffer(std::vector<std::string> fields);
  const std::vector<std::string>& Fields() const { return fields_; }

 private:
  std::vector<std::string> fields_;
};
