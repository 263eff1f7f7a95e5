#include "protocol/sntp_offset.h"

#include "protocol/byte_reader.h"
#include "protocol/wire_formats.h"

namespace horavex {

NtpTime NtpFromUnix(std::chrono::nanoseconds unixTime) {
  const auto seconds = std::chrono::floor<std::chrono::seconds>(unixTime);
  const auto rest = static_cast<std::uint64_t>((unixTime - seconds).count());  // 0 to 999,999,999
  const auto ntpSeconds = static_cast<std::uint32_t>(static_cast<std::uint64_t>(seconds.count()) + kSeconds1900To1970);
  return std::uint64_t{ntpSeconds} << 32 | (rest << 32) / 1'000'000'000;
}

std::chrono::nanoseconds NtpDifference(NtpTime b, NtpTime a) {
  // Modulo 2^64 and read as signed: the nearer of the two eras' readings.
  const auto d = static_cast<std::int64_t>(b - a);
  const auto fraction = static_cast<std::uint64_t>(d) & 0xFFFFFFFFu;
  return std::chrono::seconds(d >> 32) + std::chrono::nanoseconds((fraction * 1'000'000'000u) >> 32);
}

std::chrono::nanoseconds SntpTimes::Offset() const { return (NtpDifference(t2, t1) + NtpDifference(t3, t4)) / 2; }

std::chrono::nanoseconds SntpTimes::Delay() const { return NtpDifference(t4, t1) - NtpDifference(t3, t2); }

SntpTimes SntpTimesOf(std::span<const std::uint8_t> answer, NtpTime t1, NtpTime t4) {
  const ByteReader r(answer);
  const auto at = [&r](std::size_t offset) { return NtpTime{r.U32(offset)} << 32 | r.U32(offset + 4); };
  return {t1, at(32), at(40), t4};
}

}  // namespace horavex
