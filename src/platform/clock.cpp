#include "platform/clock.h"

namespace horavex {
namespace {

bool IsLeapYear(unsigned year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

unsigned DaysInMonth(unsigned year, unsigned month) {
  static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

bool IsValidSystemTime(const SystemTime& t) {
  // The range a SYSTEMTIME allows; anything outside it is a caller's fault, never a time to set.
  if (t.wYear < 1601 || t.wYear > 30827) return false;
  if (t.wMonth < 1 || t.wMonth > 12) return false;
  if (t.wDay < 1 || t.wDay > DaysInMonth(t.wYear, t.wMonth)) return false;
  return t.wHour < 24 && t.wMinute < 60 && t.wSecond < 60 && t.wMilliseconds < 1000;
}

std::chrono::microseconds ClockSetting::Correction() const {
  const auto millis = [](const SystemTime& t) { return UnixFromSystemTime(t) * 1000 + t.wMilliseconds; };
  return std::chrono::milliseconds(millis(target) - millis(readAt));
}

const char* SetWayName(SetWay way) {
  switch (way) {
    case SetWay::kDirect: return "clock_settime";
    case SetWay::kTimedated: return "systemd-timedated";
    case SetWay::kNone: break;
  }
  return "";
}

void Clock::SetSystemTimeAsync(const ClockSetting& setting, std::function<void(ClockSetResult)> done) {
  const int error = SetSystemTime(setting.target);
  done({error, error == 0 ? SetWay::kDirect : SetWay::kNone});
}

}  // namespace horavex
