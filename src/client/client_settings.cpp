#include "client/client_settings.h"

#include <algorithm>
#include <array>
#include <climits>

#include "common/language.h"

namespace horavex {
namespace {

constexpr std::array<ClientKindInfo, kClientKindCount> kKinds{{
    {"TIME CLIENT TCP", "Client Time TCP", 37, TrNoop("(Normaal 37)"), "TmTcp"},
    {"TIME CLIENT UDP", "Client Time UDP", 37, TrNoop("(Normaal 37)"), "TmUdp"},
    {"DAYTIME CLIENT TCP", "Client DayTime TCP", 13, TrNoop("(Normaal 13)"), "DayTcp"},
    {"DAYTIME CLIENT UDP", "Client DayTime UDP", 13, TrNoop("(Normaal 13)"), "DayUdp"},
    {"SNTP CLIENT UDP", "Client SNTP UDP", 123, TrNoop("(Normaal 123)"), "SNTP"},
}};

constexpr std::array<int, 11> kIntervalMinutes{1, 5, 10, 15, 30, 60, 120, 240, 360, 720, 1440};
constexpr std::array<std::int32_t, 12> kMaxOffsetSeconds{0,   5,    10,   30,   60,    300,
                                                         900, 1800, 3600, 7200, 21600, 43200};

// The limit of a maximum-correction index in seconds; 0 for no limit.
std::int32_t MaxOffsetLimit(int index) {
  return index >= 0 && index < static_cast<int>(kMaxOffsetSeconds.size()) ? kMaxOffsetSeconds[static_cast<std::size_t>(index)]
                                                                          : 0;
}

}  // namespace

const ClientKindInfo& InfoOf(ClientKind kind) { return kKinds[static_cast<std::size_t>(kind) % kKinds.size()]; }

ClientSettings ClientSettings::Load(Profile& profile, ClientKind kind) {
  ClientSettings c;
  c.m_port = InfoOf(kind).defaultPort;
  LoadSection(profile, InfoOf(kind).section, c);
  return c;
}

int IntervalMinutesFromIndex(int index) {
  return index >= 0 && index < static_cast<int>(kIntervalMinutes.size()) ? kIntervalMinutes[static_cast<std::size_t>(index)]
                                                                          : 60;
}

int IntervalIndexFromMinutes(int minutes) {
  const auto it = std::find(kIntervalMinutes.begin(), kIntervalMinutes.end(), minutes);
  return it == kIntervalMinutes.end() ? 5 : static_cast<int>(it - kIntervalMinutes.begin());
}

bool ShouldWarn(int failures, int level) {
  switch (level) {
    case 1: return failures == 1;
    case 2: return failures >= 2;
    case 3: return failures >= 5;
    case 4: return true;
    default: return false;
  }
}

std::int32_t CheckMaxOffset(std::chrono::nanoseconds correction, int maxOffsetIndex) {
  const std::int32_t limit = MaxOffsetLimit(maxOffsetIndex);
  if (limit == 0) return 0;
  // Whole seconds, the fraction dropped; shown capped to the largest 32-bit number.
  const std::int64_t seconds = std::chrono::duration_cast<std::chrono::seconds>(correction).count();
  const std::int64_t d = std::min<std::int64_t>(INT32_MAX, seconds < 0 ? -seconds : seconds);
  return d < limit ? 0 : static_cast<std::int32_t>(d);
}

}  // namespace horavex
