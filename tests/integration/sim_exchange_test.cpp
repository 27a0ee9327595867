// The command exchange against the panel simulator over a real
// pseudo-terminal: a panel that answers late, and a line that drops right
// after an answer.
#ifdef ORVEX_GSM_SIM_PATH

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fakes/sim_process.h"
#include "panel/exchange.h"
#include "panel/panel_port.h"
#include "serial/comm_values.h"
#include "serial/serial_comm.h"
#include "support/log.h"
#include "support/text_codec.h"

namespace orvex_test {
namespace {

const std::string kKey = "0123456789ABCDEF";

// The window's port and connection box, over the simulator's terminal.
class PortHost : public ExchangeHost {
 public:
  explicit PortHost(const std::string& path) {
    RestorePublishedValues(comm_, Comm1Values());
    ReopenForPanel(comm_, path);
  }
  TCustomComm& Comm1() override { return comm_; }
  void SetConnected(bool checked) override { connected.push_back(checked); }
  std::vector<bool> connected;

 private:
  TSerialComm comm_;
};

// Debug mode on, log.txt in a folder of the test's own.
class SimExchange : public ::testing::Test {
 protected:
  void SetUp() override {
    old_dir_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    DebugMode = true;
  }
  void TearDown() override {
    DebugMode = false;
    std::filesystem::current_path(old_dir_);
  }
  static std::string Log() { return ReadFileBytes("log.txt"); }
  static bool Has(const std::string& log, const std::string& utf8) {
    return log.find(Utf8ToCp1251(utf8)) != std::string::npos;
  }

 private:
  TempDir dir_;
  std::filesystem::path old_dir_;
};

TEST_F(SimExchange, LateAcceptanceIsNotCreditedToTheNextCommand) {
  // The panel accepts the first key 350 ms late, after its 250 ms budget,
  // and refuses the second.
  SimProcess sim({"--late", "+T01:350", "--error-on", "+T02"});
  PortHost host(sim.SlavePath());
  std::string reply;
  SendCommand(host, "+T01" + kKey, 1, DefaultReplyWait, reply);
  EXPECT_EQ(reply, "");
  SendCommand(host, "+T02" + kKey, 1, DefaultReplyWait, reply);
  EXPECT_EQ(reply, "");
  EXPECT_EQ(host.connected, (std::vector<bool>{false, false}));
  const std::string log = Log();
  EXPECT_TRUE(Has(log, "Не смогли отправить команду { +T02" + kKey + " } с попытки № 1")) << log;
  EXPECT_FALSE(Has(log, "Успешно отправили команду")) << log;
  // The late "OK" is read away and shown before the second command.
  const size_t discard = log.find(Utf8ToCp1251("Отброшены данные до команды { +T02" + kKey));
  ASSERT_NE(discard, std::string::npos) << log;
  EXPECT_NE(log.rfind("OK\r\n", discard), std::string::npos) << log;
}

TEST_F(SimExchange, LineLostRightAfterTheAnswerStillGivesTheReply) {
  SimProcess sim({"--hangup-mid", "+T01:1000"});  // the whole answer, then the line goes
  PortHost host(sim.SlavePath());
  std::string reply;
  EXPECT_NO_THROW(SendCommand(host, "+T01", 1, DefaultReplyWait, reply));
  EXPECT_EQ(reply, ">0000000000000000\r\nOK\r\n");
  EXPECT_EQ(host.connected, std::vector<bool>{true});
  ASSERT_TRUE(sim.WaitForExit(5000).has_value());
  EXPECT_THROW(SendCommand(host, "+T02", 1, DefaultReplyWait, reply), EDeviceError);
}

}  // namespace
}  // namespace orvex_test

#endif  // ORVEX_GSM_SIM_PATH
