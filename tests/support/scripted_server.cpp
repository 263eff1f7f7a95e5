#include "support/scripted_server.h"

#include <array>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <asio.hpp>

namespace horavex::testing {
namespace {

using asio::ip::tcp;
using asio::ip::udp;

const asio::ip::address kLoopback = asio::ip::make_address_v4("127.0.0.1");

// What the server has received, shared between its thread and the test's.
class Record {
 public:
  // Starts a new request holding `bytes`; returns its index.
  std::size_t Add(const std::uint8_t* bytes, std::size_t n) {
    std::lock_guard lock(mutex_);
    requests_.emplace_back(bytes, bytes + n);
    changed_.notify_all();
    return requests_.size() - 1;
  }
  // Appends to request `index` what arrived later on its connection.
  void Append(std::size_t index, const std::uint8_t* bytes, std::size_t n) {
    std::lock_guard lock(mutex_);
    requests_[index].insert(requests_[index].end(), bytes, bytes + n);
  }
  std::vector<Bytes> Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  bool WaitFor(std::size_t count, std::chrono::milliseconds bound) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, bound, [&] { return requests_.size() >= count; });
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<Bytes> requests_;
};

// One accepted connection: it records what the client sends and answers at once.
class TcpSession : public std::enable_shared_from_this<TcpSession> {
 public:
  TcpSession(tcp::socket socket, const Script& script, Record& record)
      : socket_(std::move(socket)), script_(script), record_(record), index_(record.Add(nullptr, 0)) {}

  void Start() {
    Read();
    if (!script_.answer) return;
    auto close = [self = shared_from_this()](std::error_code, std::size_t) {
      std::error_code ignored;
      self->socket_.shutdown(tcp::socket::shutdown_both, ignored);
      self->socket_.close(ignored);
    };
    asio::async_write(socket_, asio::buffer(*script_.answer), close);
  }

 private:
  void Read() {
    socket_.async_read_some(asio::buffer(buffer_), [self = shared_from_this()](std::error_code ec, std::size_t n) {
      if (ec) return;
      self->record_.Append(self->index_, self->buffer_.data(), n);
      self->Read();
    });
  }

  tcp::socket socket_;
  const Script& script_;  // the server's, which outlives every session
  Record& record_;
  std::size_t index_;
  std::array<std::uint8_t, 4096> buffer_{};
};

}  // namespace

struct ScriptedServer::Impl {
  explicit Impl(Script s) : script(std::move(s)) {}
  void Accept();
  void Receive();

  const Script script;
  Record record;
  asio::io_context io;
  tcp::acceptor acceptor{io};
  udp::socket datagramSocket{io};
  udp::endpoint sender;
  std::array<std::uint8_t, 65536> datagram{};
  std::uint16_t port = 0;
  std::thread thread;
};

void ScriptedServer::Impl::Accept() {
  acceptor.async_accept([this](std::error_code ec, tcp::socket socket) {
    if (ec == asio::error::operation_aborted) return;
    if (!ec) std::make_shared<TcpSession>(std::move(socket), script, record)->Start();
    Accept();
  });
}

void ScriptedServer::Impl::Receive() {
  datagramSocket.async_receive_from(asio::buffer(datagram), sender, [this](std::error_code ec, std::size_t n) {
    if (ec == asio::error::operation_aborted) return;
    if (!ec) {
      record.Add(datagram.data(), n);
      if (script.answer) datagramSocket.send_to(asio::buffer(*script.answer), sender, 0, ec);
    }
    Receive();
  });
}

ScriptedServer::ScriptedServer(Script script) : impl_(std::make_unique<Impl>(std::move(script))) {
  Impl& s = *impl_;
  if (s.script.transport == Transport::Tcp) {
    s.acceptor.open(tcp::v4());
    s.acceptor.bind({kLoopback, 0});
    s.acceptor.listen();
    s.port = s.acceptor.local_endpoint().port();
    s.Accept();
  } else {
    s.datagramSocket.open(udp::v4());
    s.datagramSocket.bind({kLoopback, 0});
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

std::size_t ScriptedServer::RequestCount() const { return impl_->record.Requests().size(); }

std::vector<Bytes> ScriptedServer::Requests() const { return impl_->record.Requests(); }

bool ScriptedServer::WaitForRequests(std::size_t count, std::chrono::milliseconds bound) const {
  return impl_->record.WaitFor(count, bound);
}

}  // namespace horavex::testing
