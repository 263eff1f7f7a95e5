// The request log of a running server: one line per answered request, newest first, kept short
// enough for the messages field of the server's window.
#pragma once

#include <sys/socket.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace horavex {

enum class RequestTransport { Tcp, Udp };

// Who sent a request, as it is shown and judged: an IPv4-mapped IPv6 address (a request over
// IPv4 to a socket that takes both) is the IPv4 address it carries.
struct Requester {
  bool v6 = false;
  std::array<std::uint8_t, 16> address{};  // as sent; IPv4 uses the first four bytes
  std::uint16_t port = 0;
};

// The requester of a socket address as the kernel filled it in; nothing for another family or a
// cut address.
std::optional<Requester> RequesterOf(const sockaddr* name, socklen_t length);

class RequestLog {
 public:
  // After an update a log longer than kCutAbove characters is cut to its first kCutTo, even
  // inside a line.
  static constexpr std::size_t kCutAbove = 200;
  static constexpr std::size_t kCutTo = 150;

  RequestLog();

  // Puts the line of one request in front: "Adres:%s poort:%04X\r\n" for TCP, "UDP: %s poort:%04X\r\n"
  // for UDP, with the requester's address in its usual text (dotted IPv4, RFC 5952 IPv6) and port.
  void Add(RequestTransport transport, const Requester& requester);
  // The whole log.
  const std::string& Text() const { return m_text; }

 private:
  std::string m_text;
};

}  // namespace horavex
