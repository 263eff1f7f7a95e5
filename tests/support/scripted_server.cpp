#include "support/scripted_server.h"

#include <array>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <asio.hpp>

namespace horavex::testing {

using asio::ip::tcp;
using asio::ip::udp;

struct ScriptedServer::Impl {
  class TcpSession;
  explicit Impl(Script s) : script(std::move(s)) {}
  void Accept();
  void Receive();
  // Starts a new request holding `bytes`; its index.
  std::size_t Add(const std::uint8_t* bytes, std::size_t n) {
    std::lock_guard lock(mutex);
    requests.emplace_back(bytes, bytes + n);
    changed.notify_all();
    return requests.size() - 1;
  }

  const Script script;
  std::mutex mutex;  // guards requests, which the test's thread reads
  std::condition_variable changed;
  std::vector<Bytes> requests;
  asio::io_context io;
  tcp::acceptor acceptor{io};
  udp::socket datagramSocket{io};
  udp::endpoint sender;
  std::array<std::uint8_t, 65536> datagram{};
  std::uint16_t port = 0;
  std::thread thread;
};

// One accepted connection: it records what the client sends and answers after the script's delay.
class ScriptedServer::Impl::TcpSession : public std::enable_shared_from_this<TcpSession> {
 public:
  TcpSession(tcp::socket socket, Impl& server)
      : socket_(std::move(socket)), server_(server), index_(server.Add({}, 0)) {}

  void Start() {
    Read();
    if (!server_.script.answer) return;
    auto close = [self = shared_from_this()](std::error_code, std::size_t) {
      std::error_code ignored;
      self->socket_.shutdown(tcp::socket::shutdown_both, ignored);
      self->socket_.close(ignored);
    };
    auto timer = std::make_shared<asio::steady_timer>(server_.io, server_.script.delay);
    timer->async_wait([self = shared_from_this(), timer, close](std::error_code) {
      asio::async_write(self->socket_, asio::buffer(*self->server_.script.answer), close);
    });
  }

 private:
  void Read() {
    socket_.async_read_some(asio::buffer(buffer_), [self = shared_from_this()](std::error_code ec, std::size_t n) {
      if (ec) return;
      {
        std::lock_guard lock(self->server_.mutex);
        Bytes& request = self->server_.requests[self->index_];
        request.insert(request.end(), self->buffer_.data(), self->buffer_.data() + n);
      }
      self->Read();
    });
  }

  tcp::socket socket_;
  Impl& server_;  // outlives every session: its io_context runs them
  std::size_t index_;
  std::array<std::uint8_t, 4096> buffer_{};
};

void ScriptedServer::Impl::Accept() {
  acceptor.async_accept([this](std::error_code ec, tcp::socket socket) {
    if (ec == asio::error::operation_aborted) return;
    if (!ec) std::make_shared<TcpSession>(std::move(socket), *this)->Start();
    Accept();
  });
}

void ScriptedServer::Impl::Receive() {
  datagramSocket.async_receive_from(asio::buffer(datagram), sender, [this](std::error_code ec, std::size_t n) {
    if (ec == asio::error::operation_aborted) return;
    if (!ec) {
      Add(datagram.data(), n);
      if (script.answer) {
        auto timer = std::make_shared<asio::steady_timer>(io, script.delay);
        timer->async_wait([this, timer, to = sender](std::error_code) {
          std::error_code ignored;
          datagramSocket.send_to(asio::buffer(*script.answer), to, 0, ignored);
        });
      }
    }
    Receive();
  });
}

ScriptedServer::ScriptedServer(Script script) : impl_(std::make_unique<Impl>(std::move(script))) {
  Impl& s = *impl_;
  const auto loopback = asio::ip::make_address_v4("127.0.0.1");
  if (s.script.transport == Transport::Tcp) {
    s.acceptor.open(tcp::v4());
    s.acceptor.bind({loopback, 0});
    s.acceptor.listen();
    s.port = s.acceptor.local_endpoint().port();
    s.Accept();
  } else {
    s.datagramSocket.open(udp::v4());
    s.datagramSocket.bind({loopback, 0});
    s.port = s.datagramSocket.local_endpoint().port();
    s.Receive();
  }
  s.thread = std::thread([&s] { s.io.run(); });
}

ScriptedServer::~ScriptedServer() {
  impl_->io.stop();
  impl_->thread.join();
}

std::uint16_t ScriptedServer::Port() const { return impl_->port; }

std::size_t ScriptedServer::RequestCount() const { return Requests().size(); }

std::vector<Bytes> ScriptedServer::Requests() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->requests;
}

bool ScriptedServer::WaitForRequests(std::size_t count, std::chrono::milliseconds bound) const {
  std::unique_lock lock(impl_->mutex);
  return impl_->changed.wait_for(lock, bound, [&] { return impl_->requests.size() >= count; });
}

}  // namespace horavex::testing
