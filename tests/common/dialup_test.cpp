#include "common/dialup.h"

#include <gtest/gtest.h>

#include "support/fake_dialup_port.h"

namespace horavex::testing {
namespace {

using namespace std::chrono_literals;
using Log = std::vector<std::string>;

class ManageDialupTest : public ::testing::Test {
 protected:
  bool Before(int mode, const std::string& name = "Provider") {
    return ManageDialup(port, state, DialupRequest::BeforeRequest(mode, name));
  }
  bool After() { return ManageDialup(port, state, DialupRequest::AfterRequest()); }

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
    port.connected = c.connected, port.flags = c.flags;
    EXPECT_EQ(Before(c.mode), c.expected) << "mode " << c.mode << " flags " << c.flags;
    EXPECT_TRUE(After());
  }
  EXPECT_EQ(port.Calls(), Log{}) << "no dial, and a connection this program did not dial is never hung up";
}

TEST_F(ManageDialupTest, OnlyABusyConnectionIsRetriedAndTheRetriesAreBounded) {
  const struct {
    std::deque<int> results;  // then busy for good
    std::chrono::milliseconds dialTakes;
    bool ok;
    std::size_t dials;
  } cases[] = {
      {{5}, 0s, false, 1},  // any other failure ends at once
      {{kErrorNoConnection, kErrorNoConnection, 0}, 0s, true, 3},
      {{}, 0s, false, kMaxDialAttempts},
      {{}, 25s, false, 3},  // the third attempt ends past kMaxDialTime
  };
  for (const auto& c : cases) {
    FakeDialupPort busy;
    busy.dials = c.results, busy.otherDials = kErrorNoConnection, busy.dialTakes = c.dialTakes;
    DialHandle handle = 77;
    EXPECT_EQ(DialConnection(busy, "Provider", handle), c.ok) << c.dials;
    EXPECT_EQ(handle != 0, c.ok) << c.dials;
    Log expected{"dial Provider"};
    for (std::size_t i = 1; i < c.dials; ++i) expected.insert(expected.end(), {"pause 100", "dial Provider"});
    EXPECT_EQ(busy.Calls(), expected);
  }
}

TEST_F(ManageDialupTest, TheHandleIsSharedAndADroppedOneIsHungUpBeforeDiallingAgain) {
  port.modemFollowsDial = true;
  EXPECT_TRUE(Before(2));  // request A dials
  EXPECT_TRUE(Before(2));  // request B, while A waits: the modem is up, no dial
  EXPECT_TRUE(After());    // B ends and hangs up what A dialled
  EXPECT_TRUE(After());    // A ends: nothing is left to hang up
  EXPECT_EQ(port.Calls(), (Log{"dial Provider", "hangup 1"}));

  EXPECT_TRUE(Before(2));
  port.connected = false, port.flags = 0;  // the line drops while held
  EXPECT_TRUE(Before(2));
  EXPECT_EQ(port.Calls(), (Log{"dial Provider", "hangup 1", "dial Provider", "hangup 2", "dial Provider"}));
  EXPECT_EQ(state.g_hDialConnection, 3u);
}

}  // namespace
}  // namespace horavex::testing
