#include "support/scripted_server.h"

#include <algorithm>
#include <mutex>
#include <thread>

#include <asio.hpp>

#include "protocol/wire_formats.h"

namespace horavex::testing {

using asio::ip::tcp;
using asio::ip::udp;
using asio::use_awaitable;

struct ScriptedServer::Impl {
  explicit Impl(Script s) : script(std::move(s)) {}
  asio::awaitable<void> Pause() { co_await asio::steady_timer(io, script.delay).async_wait(use_awaitable); }
  void Add(Bytes request) {
    std::lock_guard lock(mutex);
    requests.push_back(std::move(request));
  }
  asio::awaitable<void> Accept() {
    for (;;) co_spawn(io, Answer(co_await acceptor.async_accept(use_awaitable)), asio::detached);
  }
  asio::awaitable<void> Answer(tcp::socket socket) {
    Add({});  // our clients send nothing over TCP
    if (script.segments.empty()) held.push_back(std::move(socket));
    for (const Bytes& segment : script.segments) {
      co_await Pause();
      co_await asio::async_write(socket, asio::buffer(segment), use_awaitable);
    }
  }
  asio::awaitable<void> Receive() {
    for (std::array<std::uint8_t, 65536> datagram;;) {
      udp::endpoint from;
      const std::size_t n = co_await datagrams.async_receive_from(asio::buffer(datagram), from, use_awaitable);
      Add(Bytes(datagram.begin(), datagram.begin() + static_cast<std::ptrdiff_t>(n)));
      if (script.segments.empty()) continue;
      Bytes answer = script.segments.front();
      if (script.echoOriginate && n == kNtpPacketSize && answer.size() >= 32)
        std::copy_n(datagram.begin() + 40, 8, answer.begin() + 24);
      co_spawn(io, [this, answer, from]() -> asio::awaitable<void> {
        co_await Pause();
        co_await datagrams.async_send_to(asio::buffer(answer), from, use_awaitable);
      }, asio::detached);
    }
  }

  const Script script;
  mutable std::mutex mutex;  // guards requests, which the test's thread reads
  std::vector<Bytes> requests;
  asio::io_context io;
  tcp::acceptor acceptor{io};
  udp::socket datagrams{io};
  std::vector<tcp::socket> held;  // silent connections, open until the server stops
  std::uint16_t port = 0;
  std::thread thread;
};

ScriptedServer::ScriptedServer(Script script) : impl_(std::make_unique<Impl>(std::move(script))) {
  Impl& s = *impl_;
  const auto loopback = asio::ip::make_address_v4("127.0.0.1");
  if (s.script.transport == Transport::Tcp) {
    s.acceptor = tcp::acceptor(s.io, {loopback, 0});
    s.port = s.acceptor.local_endpoint().port();
  } else {
    s.datagrams = udp::socket(s.io, {loopback, 0});
    s.port = s.datagrams.local_endpoint().port();
  }
  co_spawn(s.io, s.script.transport == Transport::Tcp ? s.Accept() : s.Receive(), asio::detached);
  s.thread = std::thread([&s] { s.io.run(); });
}

ScriptedServer::~ScriptedServer() {
  impl_->io.stop();
  impl_->thread.join();
}

std::uint16_t ScriptedServer::Port() const { return impl_->port; }

std::vector<Bytes> ScriptedServer::Requests() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->requests;
}

Bytes TimeAnswer(std::int64_t unixSeconds) {
  const auto answer = MakeServerAnswer(ServerKind::TimeTcp, unixSeconds);
  return Bytes(answer.Span().begin(), answer.Span().end());
}

Bytes SntpAnswer(std::int64_t unixSeconds, int milliseconds, std::uint8_t byte0) {
  const Bytes seconds = TimeAnswer(unixSeconds);
  // Rounded up in the 16 bits a client reads, so that the milliseconds decode back exactly.
  const std::uint32_t fraction = (static_cast<std::uint32_t>(std::clamp(milliseconds, 0, 999)) * 65536 + 999) / 1000;
  Bytes b(kNtpPacketSize, 0);
  b[0] = byte0, b[1] = 2;  // stratum 2: a secondary reference
  for (std::size_t at : {16u, 32u, 40u}) {
    std::copy(seconds.begin(), seconds.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
    b[at + 4] = static_cast<std::uint8_t>(fraction >> 8), b[at + 5] = static_cast<std::uint8_t>(fraction);
  }
  return b;
}

Bytes DaytimeAnswer(std::string_view text) { return Bytes(text.begin(), text.end()); }

}  // namespace horavex::testing
