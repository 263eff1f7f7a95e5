// Arbitrary bytes as the requesters of a server, one socket address after another as the kernel
// hands them over, through the request log: each line must be what the C library writes for that
// address (inet_ntop; an IPv4-mapped address as its IPv4 address), and the log must keep its cut.
#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "server/request_log.h"

namespace horavex::fuzz {
namespace {

// One requester from 19 bytes: its family (IPv6 when the first byte is odd), its port and 16
// address bytes; the line it must give.
std::string Expected(const std::uint8_t* in, sockaddr_in6& name, socklen_t& length) {
  name = {};
  std::memcpy(&name.sin6_port, in + 1, 2);
  std::memcpy(&name.sin6_addr, in + 3, 16);
  char text[INET6_ADDRSTRLEN] = "";
  const bool v6 = (in[0] & 1) != 0;
  const bool mapped = v6 && IN6_IS_ADDR_V4MAPPED(&name.sin6_addr);
  if (v6 && !mapped) {
    name.sin6_family = AF_INET6;
    length = sizeof name;
    inet_ntop(AF_INET6, &name.sin6_addr, text, sizeof text);
  } else {
    sockaddr_in v4{AF_INET, name.sin6_port, {}, {}};
    std::memcpy(&v4.sin_addr, name.sin6_addr.s6_addr + (mapped ? 12 : 0), 4);
    if (!mapped) std::memcpy(&name, &v4, sizeof v4), length = sizeof v4;
    else name.sin6_family = AF_INET6, length = sizeof name;
    inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
  }
  static const char kHex[] = "0123456789ABCDEF";
  const unsigned port = ntohs(name.sin6_port);
  std::string line = std::string("UDP: ") + text + " poort:";
  for (int shift = 12; shift >= 0; shift -= 4) line += kHex[(port >> shift) & 0xF];
  return line + "\r\n";
}

// inet_ntop writes these with an IPv4 tail (::1.2.3.4, ::ffff:0:1.2.3.4); the log, as RFC 5952
// asks for those it has no special knowledge of, in hexadecimal groups.
bool HasIpv4Tail(const std::string& line) { return line.find(':') != line.rfind(':') && line.find('.') != std::string::npos; }

}  // namespace
}  // namespace horavex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace horavex;
  RequestLog log;
  for (std::size_t at = 0; at + 19 <= size; at += 19) {
    sockaddr_in6 name;
    socklen_t length = 0;
    const std::string line = fuzz::Expected(data + at, name, length);
    const auto requester = RequesterOf(reinterpret_cast<const sockaddr*>(&name), length);
    fuzz::Require(requester.has_value(), "every IP address is a requester");
    const std::string before = log.Text();
    log.Add(RequestTransport::Udp, *requester);
    const std::string& text = log.Text();
    if (!fuzz::HasIpv4Tail(line)) fuzz::Require(text.starts_with(line), "the line as the C library writes it");
    // The newest line is always whole: it is shorter than what a cut keeps.
    const std::size_t whole = before.size() + text.find("\r\n") + 2;
    fuzz::Require(text.size() == (whole > RequestLog::kCutAbove ? RequestLog::kCutTo : whole),
                  "cut to 150 above 200, else whole");
    fuzz::Require(text.compare(text.find("\r\n") + 2, std::string::npos, before, 0,
                               text.size() - text.find("\r\n") - 2) == 0,
                  "the older lines follow");
  }
  return 0;
}
