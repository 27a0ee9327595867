#pragma once
// One panel behind one port, as both programs talk to it: the probe and the
// scan order, the window's whole-panel read and write over the page
// interfaces, and the exact copy that backups need (panel_image.h). The
// window adds only its question, wait window and boxes; the command-line tool
// only its arguments, files and messages.

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "panel/answer_ledger.h"
#include "panel/exchange.h"
#include "panel/page_interfaces.h"
#include "panel/page_link.h"
#include "panel/panel_image.h"
#include "panel/reply_checks.h"

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

  // What came for the latest unaccepted command that begins with name
  // ("+H03" finds "+H03" and "+H03..."); empty when nothing came.
  void NoteUnaccepted(const std::string& command, const std::string& received) override;
  std::string Unaccepted(const std::string& name) const;
  void ForgetUnaccepted() { unaccepted_.clear(); }

 private:
  TSerialComm comm_;
  bool connected_ = false;
  bool early_ = false;
  std::vector<std::pair<std::string, std::string>> unaccepted_;
};

class PanelSession {
 public:
  // debugMode decides whether the numbers page shows the boxes of events 5
  // and 6; the host's port and connection box carry every exchange.
  explicit PanelSession(ExchangeHost& host, bool debugMode = false);
  // The window learns its debug mode only after it is built.
  void SetDebugMode(bool on) { debug_mode_ = on; }

  // Sends over this session's host.
  CommandSender Sender();
  // Reads through Sender, refusing what the tool's read refuses.
  DataReader CheckedReader();

  // (Re)opens the port on name and sends the probe "+T01". True when the
  // panel answered, once, and nothing more followed; the host's connection
  // box shows the outcome either way.
  bool Probe(const std::string& name);
  // The probe alone, on the port as it is.
  bool SendProbe();
  // What followed the last probe's answer when that made the probe fail;
  // empty otherwise.
  const std::string& ProbeFollowedBy() const { return probe_followed_; }
  // Whether the last open got a device; the name it was asked for.
  bool PortOpen();
  std::string PortName();
  // Why the last open failed (kind kNone when it did not).
  const OpenFailure& LastOpenFailure();

  // The window's whole-panel read: the keys, then the numbers page. Every
  // reply is checked (CheckedData), and nothing after the last answer may
  // follow; a reply refused or a line lost leaves both pages as they were
  // (EPanelReplyError, or the serial component's error).
  void ReadAll(KeyList& keys, NumbersPage& numbers);

  // The numbers page's read: changes nothing unless every reply was taken,
  // as ReadAll. (Every write, the pages' too, is WriteAndReadBack's.)
  void ReadNumbers(NumbersPage& numbers);

  // The exact copy of the panel (panel_image.h). The read is taken only when
  // nothing follows the last answer (AfterLastAnswer), else EPanelReadError
  // names the last command. A command answered without "OK" is named with
  // what came.
  PanelImage ReadImage();
  // EPortNotOpen as WriteAll; EPanelStoppedAnswering when the panel falls
  // silent. With before, only the changed fields' commands (WritePanelImage).
  // An answer that follows the last write's leaves that write unconfirmed.
  void WriteImage(const PanelImage& image, const PanelImage* before = nullptr);

  // The end of the operation under way (answer_ledger.h): what arrives until
  // every command's budget has run out and the line has been quiet for a
  // slice; empty when nothing followed. A repeated or late answer to the last
  // command has no following command to show in.
  std::string AfterLastAnswer();

  // The command sent last (or in flight), for messages about a lost line.
  const std::string& LastCommand() const { return last_command_; }

 private:
  void RequireOpenPort();
  // Raises EPanelReplyError for the last command when more followed it.
  void RequireQuietAfterRead();

  ExchangeHost& host_;
  AnswerLedger watch_{host_};
  bool debug_mode_;
  std::string last_command_;
  std::string first_command_;  // of the operation under way, without its data
  std::string probe_followed_;
};
