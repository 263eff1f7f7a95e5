#include "common/dialup.h"

#include <gtest/gtest.h>

#include "support/fake_dialup_port.h"

namespace horavex::testing {
namespace {

using Calls = std::vector<std::string>;

TEST(ManageDialup, EachModeAsksForItsKindOfConnectionWithoutDialling) {
  FakeDialupPort port;
  DialupState state;
  for (const auto& [mode, connected, flags, expected] :
       {std::tuple{0, true, 0u, true}, {0, false, kConnectionModem, false},  // mode 0: any network, flags do not count
        {1, true, 0u, false}, {1, false, kConnectionModem, true},  // others: the modem flag, even without a network
        {3, true, 0u, false}, {-1, false, kConnectionModem, true}, {2, true, kConnectionModem, true}}) {
    port.connected = connected, port.flags = flags;
    EXPECT_EQ(ManageDialup(port, state, DialupRequest::BeforeRequest(mode, "Provider")), expected) << mode << flags;
    EXPECT_TRUE(ManageDialup(port, state, DialupRequest::AfterRequest()));
  }
  EXPECT_EQ(port.Calls(), Calls{}) << "no dial, and a connection this program did not dial is never hung up";
}

TEST(ManageDialup, OnlyABusyConnectionIsRetriedAndTheRetriesAreBounded) {
  for (const auto& [results, dialTakes, ok, dials] :
       {std::tuple{std::deque<int>{5}, 0, false, 1},  // any other failure ends at once
        {{kErrorNoConnection, kErrorNoConnection, 0}, 0, true, 3},
        {{}, 0, false, kMaxDialAttempts},
        {{}, 25, false, 3}}) {  // the third attempt ends past kMaxDialTime
    FakeDialupPort busy;
    busy.dials = results, busy.otherDials = kErrorNoConnection, busy.dialTakes = std::chrono::seconds(dialTakes);
    DialHandle handle = 77;
    EXPECT_EQ(DialConnection(busy, "Provider", handle), ok) << dials;
    EXPECT_EQ(handle != 0, ok) << dials;
    Calls expected{"dial Provider"};
    for (int i = 1; i < dials; ++i) expected.insert(expected.end(), {"pause 100", "dial Provider"});
    EXPECT_EQ(busy.Calls(), expected);
  }
}

TEST(ManageDialup, TheHandleIsSharedAndADroppedOneIsHungUpBeforeDiallingAgain) {
  FakeDialupPort port;
  port.modemFollowsDial = true;
  DialupState state;
  const auto before = [&] { return ManageDialup(port, state, DialupRequest::BeforeRequest(2, "P")); };
  const auto after = [&] { return ManageDialup(port, state, DialupRequest::AfterRequest()); };
  // Request A dials; B, while A waits, finds the modem up; B's end hangs up what A dialled; A's
  // end finds nothing left to hang up.
  EXPECT_TRUE(before() && before() && after() && after());
  EXPECT_EQ(port.Calls(), (Calls{"dial P", "hangup 1"}));
  EXPECT_TRUE(before());
  port.connected = false, port.flags = 0;  // the line drops while held
  EXPECT_TRUE(before());
  EXPECT_EQ(port.Calls(), (Calls{"dial P", "hangup 1", "dial P", "hangup 2", "dial P"}));
  EXPECT_EQ(state.g_hDialConnection, 3u);
}

}  // namespace
}  // namespace horavex::testing
