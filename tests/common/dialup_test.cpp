#include "common/dialup.h"

#include <gtest/gtest.h>

#include "platform/null/fake_dialup_port.h"

namespace horavex {
namespace {

using namespace std::chrono_literals;
using Kind = FakeDialupPort::Kind;

class ManageDialupTest : public ::testing::Test {
 protected:
  bool Run(const DialupRequest& r) {
    return ManageDialup(port, state, r.connect, r.dialWhenNeeded, r.testOnly, r.name);
  }
  bool Before(int mode, const std::string& name = "Provider") { return Run(DialupRequest::BeforeRequest(mode, name)); }
  bool After() { return Run(DialupRequest::AfterRequest()); }

  FakeDialupPort port;
  DialupState state;
};

TEST_F(ManageDialupTest, EachModeAsksForItsKindOfConnectionWithoutDialling) {
  const struct {
    int mode;
    bool connected;
    unsigned flags;
    bool expected;
  } cases[] = {
      {0, true, 0, true},  {0, false, kConnectionModem, false},  // mode 0: any network; flags do not count
      {1, true, 0, false}, {1, false, kConnectionModem, true},   // others: the modem flag, even without a network
      {3, true, 0, false}, {-1, false, kConnectionModem, true},
      {2, true, kConnectionModem, true},  // a modem connection that was up before is used
  };
  for (const auto& c : cases) {
    port.SetConnected(c.connected, c.flags);
    EXPECT_EQ(Before(c.mode), c.expected) << "mode " << c.mode << " flags " << c.flags;
    EXPECT_TRUE(After());
  }
  EXPECT_EQ(port.CountOf(Kind::kDial), 0);
  EXPECT_EQ(port.CountOf(Kind::kHangUp), 0) << "a connection this program did not dial is never hung up";
}

TEST_F(ManageDialupTest, OnlyABusyConnectionIsRetriedAndTheRetriesAreBounded) {
  port.ScriptDials({5});  // any other failure ends at once
  EXPECT_FALSE(Before(2, ""));
  EXPECT_EQ(state.g_hDialConnection, 0u);
  EXPECT_EQ(port.CountOf(Kind::kDial), 1);
  EXPECT_TRUE(After());
  EXPECT_EQ(port.CountOf(Kind::kHangUp), 0);

  const struct {
    std::vector<int> results;  // then busy for good
    std::chrono::seconds dialTakes;
    bool ok;
    int dials;
  } cases[] = {
      {{kErrorNoConnection, kErrorNoConnection, 0}, 0s, true, 3},
      {{}, 0s, false, kMaxDialAttempts},
      {{}, 25s, false, 3},  // the third attempt ends past kMaxDialTime
  };
  for (const auto& c : cases) {
    FakeDialupPort busy;
    busy.ScriptDials(c.results, kErrorNoConnection);
    busy.SetDialDuration(c.dialTakes);
    DialHandle handle = 77;
    EXPECT_EQ(DialConnection(busy, "Provider", handle), c.ok) << c.dials;
    EXPECT_EQ(handle != 0, c.ok) << c.dials;
    EXPECT_EQ(busy.CountOf(Kind::kDial), c.dials);
    EXPECT_EQ(busy.CountOf(Kind::kPause), c.dials - 1);
    for (const auto& call : busy.Calls())
      if (call.kind == Kind::kPause) { EXPECT_EQ(call.pause, kDialRetryPause); }
  }
}

TEST_F(ManageDialupTest, TheHandleIsSharedBetweenInterleavedRequests) {
  port.SetModemFollowsDial(true);
  EXPECT_TRUE(Before(2));  // request A dials
  EXPECT_TRUE(Before(2));  // request B, while A waits: the modem is up, no dial
  EXPECT_TRUE(After());    // B ends and hangs up what A dialled
  EXPECT_TRUE(After());    // A ends: nothing is left to hang up
  EXPECT_EQ(port.CountOf(Kind::kDial), 1);
  EXPECT_EQ(port.HungUp(), (std::vector<DialHandle>{1}));
}

TEST_F(ManageDialupTest, AHeldConnectionThatDroppedIsHungUpBeforeDiallingAgain) {
  port.SetModemFollowsDial(true);
  EXPECT_TRUE(Before(2));
  port.SetConnected(false, 0);
  EXPECT_TRUE(Before(2));
  EXPECT_EQ(port.HungUp(), (std::vector<DialHandle>{1}));
  EXPECT_EQ(state.g_hDialConnection, 2u);
}

}  // namespace
}  // namespace horavex
