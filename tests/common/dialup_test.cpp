#include "common/dialup.h"

#include <gtest/gtest.h>

#include "platform/null/fake_dialup_port.h"

namespace horavex {
namespace {

using Kind = FakeDialupPort::Kind;

class ManageDialupTest : public ::testing::Test {
 protected:
  // The calls a synchronisation request makes before and after its exchange.
  bool Run(const DialupRequest& r) { return ManageDialup(port, state, r.connect, r.dialWhenNeeded, r.testOnly, r.name); }
  bool Before(int mode, const std::string& name = "Provider") { return Run(DialupRequest::BeforeRequest(mode, name)); }
  bool After() { return Run(DialupRequest::AfterRequest()); }

  FakeDialupPort port;
  DialupState state;
};

TEST_F(ManageDialupTest, ModeZeroOnlyAsksForAnyConnection) {
  port.SetConnected(true, 0);
  EXPECT_TRUE(Before(0));
  EXPECT_TRUE(After());
  port.SetConnected(false, kConnectionModem);  // the flags do not count here
  EXPECT_FALSE(Before(0));
  EXPECT_EQ(port.CountOf(Kind::kDial), 0);
  EXPECT_EQ(port.CountOf(Kind::kHangUp), 0);
}

TEST_F(ManageDialupTest, ModesOtherThanZeroAndTwoNeedTheModemFlag) {
  for (int mode : {1, 3, -1}) {
    port.SetConnected(true, 0);  // a LAN does not satisfy them
    EXPECT_FALSE(Before(mode)) << mode;
    port.SetConnected(false, kConnectionModem);  // the flag counts even without a connection
    EXPECT_TRUE(Before(mode)) << mode;
  }
  EXPECT_EQ(port.CountOf(Kind::kDial), 0);
}

TEST_F(ManageDialupTest, AModemConnectionUpBeforeIsUsedAndNeverHungUp) {
  port.SetConnected(true, kConnectionModem);
  EXPECT_TRUE(Before(2));
  EXPECT_TRUE(After());
  EXPECT_EQ(port.CountOf(Kind::kDial), 0);
  EXPECT_EQ(port.CountOf(Kind::kHangUp), 0);
}

TEST_F(ManageDialupTest, ModeTwoDialsAndHangsUpOncePerRequest) {
  port.SetModemFollowsDial(true);
  for (int request = 1; request <= 3; ++request) {
    EXPECT_TRUE(Before(2));
    EXPECT_NE(state.g_hDialConnection, 0u);
    EXPECT_TRUE(After());
    EXPECT_EQ(state.g_hDialConnection, 0u);
    EXPECT_EQ(port.CountOf(Kind::kDial), request);
    EXPECT_EQ(port.CountOf(Kind::kHangUp), request);
  }
  EXPECT_EQ(port.HungUp(), (std::vector<DialHandle>{1, 2, 3}));
}

TEST_F(ManageDialupTest, AFailedDialEndsAtOnceWithoutAHandle) {
  port.ScriptDials({5});
  state.g_hDialConnection = 0;
  EXPECT_FALSE(Before(2, ""));  // an empty name is dialled too; the result decides
  EXPECT_EQ(state.g_hDialConnection, 0u);
  const auto calls = port.Calls();
  ASSERT_EQ(port.CountOf(Kind::kDial), 1);
  EXPECT_EQ(calls.back().name, "");
  EXPECT_EQ(port.CountOf(Kind::kPause), 0);
  EXPECT_TRUE(After());
  EXPECT_EQ(port.CountOf(Kind::kHangUp), 0);
}

TEST_F(ManageDialupTest, ABusyConnectionIsRetriedAfterAPause) {
  port.ScriptDials({kErrorNoConnection, kErrorNoConnection, 0});
  EXPECT_TRUE(Before(2));
  EXPECT_EQ(port.CountOf(Kind::kDial), 3);
  for (const auto& call : port.Calls()) {
    if (call.kind == Kind::kPause) {
      EXPECT_EQ(call.pause, kDialRetryPause);
    }
  }
  EXPECT_EQ(port.CountOf(Kind::kPause), 2);
}

TEST_F(ManageDialupTest, RetriesOfABusyConnectionAreBoundedInCountAndTime) {
  port.ScriptDials({}, kErrorNoConnection);
  state.g_hDialConnection = 0;
  EXPECT_FALSE(Before(2));
  EXPECT_EQ(port.CountOf(Kind::kDial), kMaxDialAttempts);
  EXPECT_EQ(port.CountOf(Kind::kPause), kMaxDialAttempts - 1);
  EXPECT_EQ(state.g_hDialConnection, 0u);

  FakeDialupPort slow;
  slow.ScriptDials({}, kErrorNoConnection);
  slow.SetDialDuration(std::chrono::seconds(25));  // the third attempt ends past kMaxDialTime
  DialHandle handle = 77;
  EXPECT_FALSE(DialConnection(slow, "Provider", handle));
  EXPECT_EQ(slow.CountOf(Kind::kDial), 3);
  EXPECT_EQ(handle, 0u);
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
  port.SetConnected(false, 0);  // the line drops while the handle is held
  EXPECT_TRUE(Before(2));
  EXPECT_EQ(port.HungUp(), (std::vector<DialHandle>{1}));
  EXPECT_EQ(state.g_hDialConnection, 2u);
}

}  // namespace
}  // namespace horavex
