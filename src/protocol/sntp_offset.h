// The SNTP client's arithmetic (RFC 4330, section 5): from the four timestamps of one exchange,
// how far the local clock is off and how long the round trip took.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>

namespace horavex {

// An NTP timestamp as the wire carries it: seconds since 1900 modulo 2^32 (so the 2036 era wraps)
// in the high 32 bits, the fraction of a second in units of 2^-32 s in the low 32.
using NtpTime = std::uint64_t;

// Unix time as an NTP timestamp, the fraction rounded down.
NtpTime NtpFromUnix(std::chrono::nanoseconds unixTime);

// b - a for two timestamps less than 68 years apart, whichever era each lies in.
std::chrono::nanoseconds NtpDifference(NtpTime b, NtpTime a);

// One exchange: T1 the request left, T2 the server received it, T3 the server sent its answer,
// T4 the answer arrived. T1 and T4 are the local clock's, T2 and T3 the server's.
struct SntpTimes {
  NtpTime t1 = 0, t2 = 0, t3 = 0, t4 = 0;

  // theta = ((T2 - T1) + (T3 - T4)) / 2: what the local clock must be moved by.
  std::chrono::nanoseconds Offset() const;
  // delta = (T4 - T1) - (T3 - T2): the round trip, less the time the server held the request.
  std::chrono::nanoseconds Delay() const;
};

// The times of `answer` (48 bytes or more): T2 and T3 are its receive and transmit timestamps.
SntpTimes SntpTimesOf(std::span<const std::uint8_t> answer, NtpTime t1, NtpTime t4);

}  // namespace horavex
