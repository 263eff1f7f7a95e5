// A misbehaving Time, Daytime or SNTP server for the clients' loopback tests: it answers each
// request as its script says and records what it received, on its own thread and io_context.
#pragma once

#include <memory>

#include "support/loopback_probe.h"

namespace horavex::testing {

enum class Transport { Tcp, Udp };

// What the server does with every request (a TCP connection or a UDP datagram): it sends each
// segment `delay` after the one before (over UDP only the first, as one datagram) and TCP then
// closes. Without segments it stays silent, TCP holding the connection until the server stops.
// An SNTP answer carries the request's transmit timestamp as its originate timestamp, as a real
// server's does, unless `echoOriginate` is false.
struct Script {
  Transport transport = Transport::Udp;
  std::vector<Bytes> segments;
  std::chrono::milliseconds delay{0};
  bool echoOriginate = true;

  static Script Answer(Transport t, Bytes answer) { return {t, {std::move(answer)}}; }
  static Script Silent(Transport t) { return {t, {}}; }
};

// A Time answer: 4 bytes, seconds since 1900 big-endian.
Bytes TimeAnswer(std::int64_t unixSeconds);
// An SNTP server answer (stratum 2) whose transmit timestamp is `unixSeconds` plus
// `milliseconds` (0-999, decoding back to the same value); `byte0` sets leap indicator, version, mode.
Bytes SntpAnswer(std::int64_t unixSeconds, int milliseconds, std::uint8_t byte0 = 0x1C);
// The bytes of a Daytime text, as they are.
Bytes DaytimeAnswer(std::string_view text);

class ScriptedServer {
 public:
  // Binds 127.0.0.1, port 0, for the script's transport and serves until destroyed.
  explicit ScriptedServer(Script script);
  // Stops serving and joins the thread; open connections are dropped.
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  std::uint16_t Port() const;
  // The bytes of each request in order of arrival; TCP connections count as empty requests.
  std::vector<Bytes> Requests() const;
  std::size_t RequestCount() const { return Requests().size(); }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace horavex::testing
