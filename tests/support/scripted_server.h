// A misbehaving Time, Daytime or SNTP server for the clients' loopback tests: it answers each
// request as its script says and records what it received, on its own thread and io_context.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <thread>

#include <asio.hpp>

#include "protocol/wire_formats.h"
#include "support/loopback_probe.h"

namespace horavex::testing {

enum class Transport { Tcp, Udp };

// An SNTP answer (version 4, mode 4, stratum 2) whose receive and transmit timestamps are
// `unixTime`, with the whole 32-bit fraction.
Bytes SntpStamp(std::chrono::nanoseconds unixTime);

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
  // A live SNTP server whose clock is the real one plus `offset`, less what `moved` says the client
  // has moved its clock by meanwhile (when it could not really move it): it holds each request
  // `delay` (the way in), stamps its receive and transmit times, and holds the answer `delayOut`.
  std::optional<std::chrono::nanoseconds> offset = std::nullopt;
  std::chrono::milliseconds delayOut{0};
  std::function<std::chrono::nanoseconds()> moved = nullptr;

  static Script Answer(Transport t, Bytes answer) { return {t, {std::move(answer)}}; }
  static Script Silent(Transport t) { return {t, {}}; }
  static Script LiveSntp(std::chrono::nanoseconds offset, std::chrono::milliseconds in = {},
                         std::chrono::milliseconds out = {}, std::function<std::chrono::nanoseconds()> moved = nullptr) {
    return {Transport::Udp, {SntpStamp({})}, in, true, offset, out, std::move(moved)};
  }
};

// A Time answer: 4 bytes, seconds since 1900 big-endian.
Bytes TimeAnswer(std::int64_t unixSeconds);
// An SNTP server answer (stratum 2) whose transmit timestamp is `unixSeconds` plus
// `milliseconds` (0-999, decoding back to the same value); `byte0` sets leap indicator, version, mode.
Bytes SntpAnswer(std::int64_t unixSeconds, int milliseconds, std::uint8_t byte0 = 0x1C);
// The bytes of a Daytime text, as they are.
inline Bytes DaytimeAnswer(std::string_view text) { return Bytes(text.begin(), text.end()); }

// Makes the kernel stamp each datagram's arrival, and takes one datagram without waiting, with its
// sender and that stamp (0 and nothing when none is there).
void EnableArrivalStamps(asio::ip::udp::socket& socket);
std::size_t ReceiveStamped(asio::ip::udp::socket& socket, std::span<std::uint8_t> into, asio::ip::udp::endpoint& from,
                           std::chrono::nanoseconds& arrived);

// Binds 127.0.0.1, port 0, for the script's transport and serves until destroyed; open
// connections are then dropped.
class ScriptedServer {
 public:
  explicit ScriptedServer(Script script) : script_(std::move(script)) {
    const auto loopback = asio::ip::make_address_v4("127.0.0.1");
    if (script_.transport == Transport::Tcp) acceptor_ = tcp::acceptor(io_, {loopback, 0});
    else datagrams_ = asio::ip::udp::socket(io_, {loopback, 0});
    if (script_.transport == Transport::Udp) EnableArrivalStamps(datagrams_);
    port_ = script_.transport == Transport::Tcp ? acceptor_.local_endpoint().port() : datagrams_.local_endpoint().port();
    co_spawn(io_, script_.transport == Transport::Tcp ? Accept() : Receive(), asio::detached);
    thread_ = std::thread([this] { io_.run(); });
  }
  ~ScriptedServer() { io_.stop(), thread_.join(); }

  std::uint16_t Port() const { return port_; }
  // The bytes of each request in order of arrival; TCP connections count as empty requests.
  std::vector<Bytes> Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  std::size_t RequestCount() const { return Requests().size(); }

 private:
  using tcp = asio::ip::tcp;
  asio::awaitable<void> Pause() { co_await asio::steady_timer(io_, script_.delay).async_wait(asio::use_awaitable); }
  void Add(Bytes request) {
    std::lock_guard lock(mutex_);
    requests_.push_back(std::move(request));
  }
  // A live answer's times on the server's clock: received when the kernel took the request in
  // and the way in was over, sent now.
  void Stamp(Bytes& answer, std::chrono::nanoseconds arrived) const {
    const auto shift = *script_.offset - (script_.moved ? script_.moved() : std::chrono::nanoseconds(0));
    const Bytes received = SntpStamp(arrived + script_.delay + shift);
    const Bytes sent = SntpStamp(std::chrono::system_clock::now().time_since_epoch() + shift);
    std::copy(received.begin() + 32, received.begin() + 40, answer.begin() + 32);
    std::copy(sent.begin() + 40, sent.end(), answer.begin() + 40);
  }
  asio::awaitable<void> Accept() {
    for (;;) co_spawn(io_, Answer(co_await acceptor_.async_accept(asio::use_awaitable)), asio::detached);
  }
  asio::awaitable<void> Answer(tcp::socket socket) {
    Add({});  // our clients send nothing over TCP
    if (script_.segments.empty()) held_.push_back(std::move(socket));
    for (const Bytes& segment : script_.segments) {
      co_await Pause();
      co_await asio::async_write(socket, asio::buffer(segment), asio::use_awaitable);
    }
  }
  asio::awaitable<void> Receive() {
    for (std::array<std::uint8_t, 65536> datagram;;) {
      asio::ip::udp::endpoint from;
      std::chrono::nanoseconds arrived{};
      co_await datagrams_.async_wait(asio::socket_base::wait_read, asio::use_awaitable);
      const std::size_t n = ReceiveStamped(datagrams_, datagram, from, arrived);
      if (n == 0) continue;
      Add(Bytes(datagram.begin(), datagram.begin() + static_cast<std::ptrdiff_t>(n)));
      if (script_.segments.empty()) continue;
      Bytes answer = script_.segments.front();
      if (script_.echoOriginate && n == kNtpPacketSize && answer.size() >= 32)
        std::copy_n(datagram.begin() + 40, 8, answer.begin() + 24);
      if (script_.offset && script_.delay.count() == 0 && script_.delayOut.count() == 0) {
        // No way in or back: stamped and sent at once, with no wait on either side to tell apart.
        Stamp(answer, arrived);
        std::error_code ignored;
        datagrams_.send_to(asio::buffer(answer), from, 0, ignored);
        continue;
      }
      co_spawn(io_, [this, answer, from, arrived]() mutable -> asio::awaitable<void> {
        co_await Pause();
        if (script_.offset) {
          Stamp(answer, arrived);
          co_await asio::steady_timer(io_, script_.delayOut).async_wait(asio::use_awaitable);
        }
        co_await datagrams_.async_send_to(asio::buffer(answer), from, asio::use_awaitable);
      }, asio::detached);
    }
  }

  const Script script_;
  mutable std::mutex mutex_;  // guards requests_, which the test's thread reads
  std::vector<Bytes> requests_;
  asio::io_context io_;
  tcp::acceptor acceptor_{io_};
  asio::ip::udp::socket datagrams_{io_};
  std::vector<tcp::socket> held_;  // silent connections, open until the server stops
  std::uint16_t port_ = 0;
  std::thread thread_;
};

}  // namespace horavex::testing
