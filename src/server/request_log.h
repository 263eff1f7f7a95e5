// The request log of a running server: one line per answered request, newest first, kept short
// enough for the messages field of the server's window.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace horavex {

enum class RequestTransport { Tcp, Udp };

class RequestLog {
 public:
  // After an update a log longer than kCutAbove characters is cut to its first kCutTo, even
  // inside a line.
  static constexpr std::size_t kCutAbove = 200;
  static constexpr std::size_t kCutTo = 150;

  RequestLog();

  // Puts the line of one request in front: "Adres:%s poort:%04X\r\n" for TCP, "UDP: %s poort:%04X\r\n"
  // for UDP, with the requester's IPv4 address (its four bytes as sent) dotted and its port.
  void Add(RequestTransport transport, const std::array<std::uint8_t, 4>& address, std::uint16_t port);
  // The whole log.
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace horavex
