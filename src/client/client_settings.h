// What a time client is configured with, the lists its window offers, and the rules that
// depend on them: the interval, the warning level and the maximum correction.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/profile_section.h"
#include "protocol/kinds.h"

namespace horavex {

// The server every client asks until the user names another: a public SNTP pool.
inline constexpr std::string_view kDefaultServer = "pool.ntp.org";

// Per-kind constants: profile section, window title, default port and its hint, and the label
// a successful client writes into the dashboard's "last synchronised by" text.
struct ClientKindInfo {
  std::string_view section;
  std::string_view title;
  unsigned defaultPort;
  std::string_view portHint;
  std::string_view lastSyncLabel;
};
const ClientKindInfo& InfoOf(ClientKind kind);

// The Check Interval list: index <-> minutes (60 minutes for anything else).
int IntervalMinutesFromIndex(int index);
int IntervalIndexFromMinutes(int minutes);

// The six keys of a client's section, each with its default, in the order they are written:
// Server, Port, Interval (stored in minutes), WarnLevel, MaxOffset, StartUp.
struct ClientSettings {
  std::string m_server{kDefaultServer};
  unsigned m_port = 0;  // Load starts from the kind's default port
  int m_intervalIndex = 5;  // 60 minutes
  int m_warnLevel = 4;
  int m_maxOffsetIndex = 0;
  bool m_startUp = false;

  static ClientSettings Load(Profile& profile, ClientKind kind);
  friend bool operator==(const ClientSettings&, const ClientSettings&) = default;

  template <class Self, class Visit>
  static void ForEachKey(Self& s, Visit&& visit) {
    visit("Server", s.m_server);
    visit("Port", s.m_port);
    visit("Interval", s.m_intervalIndex, StoredAs{IntervalMinutesFromIndex, IntervalIndexFromMinutes});
    visit("WarnLevel", s.m_warnLevel);
    visit("MaxOffset", s.m_maxOffsetIndex);
    visit("StartUp", s.m_startUp);
  }
};

// Whether the n-th failure in a row shows a warning box at warning level `level` (0-4).
bool ShouldWarn(int failures, int level);

// 0 when the clock may be moved by `correction`, otherwise its size in whole seconds (at least
// the limit, so never 0; at most INT32_MAX). A correction of the limit itself is refused; index 0
// and unknown indices set no limit.
std::int32_t CheckMaxOffset(std::chrono::nanoseconds correction, int maxOffsetIndex);

}  // namespace horavex
