#include "server/request_log.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "common/language.h"

namespace horavex {
namespace {

// The longest line: "Adres:" + 39 address characters (eight groups of four) + " poort:" + 4 digits + CR LF,
// with room for the two labels in a language that needs up to 16 characters for each.
constexpr std::size_t kLineMax = 16 + 39 + 16 + 4 + 2;

// Builds one line without printf (glibc's inet_ntop formats with sprintf): the log is updated for
// every request of a flood.
class Line {
 public:
  void Put(std::string_view s) {
    const std::size_t n = std::min(s.size(), m_text.size() - m_size);
    std::copy_n(s.data(), n, m_text.data() + m_size);
    m_size += n;
  }
  // A number 0-255 in decimal, without leading zeros.
  void PutByte(std::uint8_t value) {
    if (value >= 100) PutDigit(value / 100);
    if (value >= 10) PutDigit(value / 10 % 10);
    PutDigit(value % 10);
  }
  // A 16-bit number in hexadecimal: exactly four upper-case digits ("%04X"), or lower-case
  // without leading zeros (an IPv6 group).
  void PutHex(std::uint16_t value, bool group) {
    constexpr std::string_view kUpper = "0123456789ABCDEF", kLower = "0123456789abcdef";
    int shift = 12;
    while (group && shift > 0 && (value >> shift) == 0) shift -= 4;
    for (; shift >= 0; shift -= 4) Put((group ? kLower : kUpper).substr((value >> shift) & 0xF, 1));
  }
  std::string_view View() const { return {m_text.data(), m_size}; }

 private:
  void PutDigit(int digit) { Put(std::string_view("0123456789").substr(static_cast<std::size_t>(digit), 1)); }

  std::array<char, kLineMax> m_text{};
  std::size_t m_size = 0;
};

void PutIpv4(Line& line, const std::uint8_t* bytes) {
  for (int i = 0; i < 4; ++i) {
    if (i > 0) line.Put(".");
    line.PutByte(bytes[i]);
  }
}

// RFC 5952: groups in lower case without leading zeros, the longest run of two or more zero
// groups (the first of equal runs) written as "::".
void PutIpv6(Line& line, const std::array<std::uint8_t, 16>& bytes) {
  std::array<std::uint16_t, 8> groups;
  for (int i = 0; i < 8; ++i) groups[i] = static_cast<std::uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
  int runStart = -1, runLength = 1;
  for (int i = 0, length = 0; i < 8; ++i) {
    length = groups[i] == 0 ? length + 1 : 0;
    if (length > runLength) runStart = i - length + 1, runLength = length;
  }
  for (int i = 0; i < 8; ++i) {
    if (i == runStart) {
      line.Put("::");
      i += runLength - 1;
      continue;
    }
    if (i > 0 && i != runStart + runLength) line.Put(":");
    line.PutHex(groups[i], true);
  }
}

}  // namespace

std::optional<Requester> RequesterOf(const sockaddr* name, socklen_t length) {
  Requester r;
  if (name->sa_family == AF_INET && length >= sizeof(sockaddr_in)) {
    const auto* in = reinterpret_cast<const sockaddr_in*>(name);
    std::memcpy(r.address.data(), &in->sin_addr, 4);
    r.port = ntohs(in->sin_port);
    return r;
  }
  if (name->sa_family != AF_INET6 || length < sizeof(sockaddr_in6)) return std::nullopt;
  const auto* in6 = reinterpret_cast<const sockaddr_in6*>(name);
  r.port = ntohs(in6->sin6_port);
  if (IN6_IS_ADDR_V4MAPPED(&in6->sin6_addr)) {
    std::memcpy(r.address.data(), in6->sin6_addr.s6_addr + 12, 4);
    return r;
  }
  r.v6 = true;
  std::memcpy(r.address.data(), in6->sin6_addr.s6_addr, 16);
  return r;
}

RequestLog::RequestLog() {
  // The log never outgrows one cut plus one line, so it is never reallocated while a flood is logged.
  m_text.reserve(kCutAbove + kLineMax);
}

void RequestLog::Add(RequestTransport transport, const Requester& requester) {
  Line line;
  line.Put(transport == RequestTransport::Tcp ? Tr("Adres:") : "UDP: ");
  if (requester.v6) PutIpv6(line, requester.address);
  else PutIpv4(line, requester.address.data());
  line.Put(Tr(" poort:"));
  line.PutHex(requester.port, false);
  line.Put("\r\n");
  m_text.insert(0, line.View());
  if (m_text.size() > kCutAbove) m_text.resize(kCutTo);
}

}  // namespace horavex
