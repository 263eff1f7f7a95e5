#include "server/request_log.h"

#include <algorithm>
#include <cstdio>

namespace horavex {
namespace {

// The longest line plus room: "Adres:" + 15 address characters + " poort:" + 4 digits + CR LF.
constexpr std::size_t kLineMax = 64;

}  // namespace

RequestLog::RequestLog() {
  // The log never outgrows one cut plus one line, so it is never reallocated while a flood is logged.
  text_.reserve(kCutAbove + kLineMax);
}

void RequestLog::Add(RequestTransport transport, std::string_view address, std::uint16_t port) {
  char line[kLineMax];
  const char* format = transport == RequestTransport::Tcp ? "Adres:%.*s poort:%04X\r\n" : "UDP: %.*s poort:%04X\r\n";
  const int n = std::snprintf(line, sizeof line, format, static_cast<int>(std::min<std::size_t>(address.size(), 15)),
                              address.data(), static_cast<unsigned>(port));
  text_.insert(0, line, std::clamp<std::size_t>(static_cast<std::size_t>(std::max(n, 0)), 0, sizeof line - 1));
  if (text_.size() > kCutAbove) text_.resize(kCutTo);
}

}  // namespace horavex
