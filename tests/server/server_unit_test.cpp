// The request log's lines and cut, and which datagrams the reflection guard leaves unanswered.
#include <arpa/inet.h>
#include <gtest/gtest.h>


#include <asio/ip/udp.hpp>

#include "server/reflection_guard.h"
#include "server/request_log.h"

namespace horavex {
namespace {

// The requester of `text`:`port` as the kernel gives it.
Requester From(const char* text, std::uint16_t port) {
  const asio::ip::udp::endpoint e(asio::ip::make_address(text), port);
  return *RequesterOf(e.data(), static_cast<socklen_t>(e.size()));
}

// Newest first; IPv6 as RFC 5952 writes it: lower case, no leading zeros, the longest run of two or
// more zero groups (the first of equal runs) as "::" (fuzz_request_log compares it with the C
// library at length); IPv4-mapped as the IPv4 address it carries.
TEST(RequestLog, NewestFirstInEitherFamilyAndCutTo150BeyondEvenInsideALine) {
  const std::tuple<RequestTransport, const char*, std::uint16_t, std::string> rows[] = {
      {RequestTransport::Tcp, "10.0.0.1", 80, "Adres:10.0.0.1 poort:0050\r\n"},
      {RequestTransport::Udp, "::ffff:127.0.0.1", 1025, "UDP: 127.0.0.1 poort:0401\r\n"},
      {RequestTransport::Udp, "::1", 50000, "UDP: ::1 poort:C350\r\n"},
      {RequestTransport::Udp, "2001:0DB8:0:0:1:0:0:1", 1, "UDP: 2001:db8::1:0:0:1 poort:0001\r\n"}};
  for (const auto& [transport, address, port, line] : rows) {
    RequestLog log;
    log.Add(RequestTransport::Udp, From("192.0.2.1", 1));
    log.Add(transport, From(address, port));
    EXPECT_EQ(log.Text(), line + "UDP: 192.0.2.1 poort:0001\r\n");
  }
  RequestLog log;
  const std::string line = "Adres:192.168.100.200 poort:C350\r\n";  // the longest of IPv4: 34 characters
  for (int i = 0; i < 6; ++i) log.Add(RequestTransport::Tcp, From("192.168.100.200", 50000));  // 204: cut
  EXPECT_EQ(log.Text(), line + line + line + line + line.substr(0, 14));
  log.Add(RequestTransport::Tcp, From("192.168.100.200", 50000));
  EXPECT_EQ(log.Text().size(), 184u);
  // The longest of all, 58 characters: the same rule cuts it.
  const char* longest = "fe80:1234:5678:9abc:def0:1234:5678:9abc";
  log.Add(RequestTransport::Tcp, From(longest, 50000));
  EXPECT_EQ(log.Text(), "Adres:" + std::string(longest) + " poort:C350\r\n" + line + line + line.substr(0, 24));
}

// Source port, datagram, whether it was cut to the receive buffer, and whether it is refused.
TEST(ReflectionGuard, AnswersRequestsAndRefusesAnswersAndAnsweringServices) {
  const std::string chargen = std::string(72, '!') + "\r\n";
  const std::tuple<std::uint16_t, std::string, bool, bool> rows[] = {
      {40000, "", false, false}, {65535, "QZ", false, false}, {1024, "\n", false, false},  // RFC 868, ours, nc
      {40000, std::string(1, '\x1b') + std::string(47, '\0'), false, false}, {40000, "what time is it?\r\n", false, false},
      {40000, std::string(80, '\1'), true, false}, {0, "QZ", false, true}, {37, "", false, true},  // a time service
      {40000, std::string("\xC1\xBC\xAE\x00", 4), false, true}, {40000, "Wed Jan 01 01:00:00 2003\n", false, true},
      {40000, "06 DEC 2026 17:33:22 UTC\r\n", false, true}, {40000, chargen, false, true}, {40000, chargen.substr(0, 70), true, true}};
  for (const auto& [port, datagram, cut, refused] : rows) {
    const std::span bytes(reinterpret_cast<const std::uint8_t*>(datagram.data()), datagram.size());
    EXPECT_EQ(MustNotAnswer(port, bytes, cut), refused) << port << " " << datagram;
  }
}

}  // namespace
}  // namespace horavex
