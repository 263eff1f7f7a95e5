#include "app/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>

#include <asio/local/stream_protocol.hpp>
#include <asio/post.hpp>
#include <asio/write.hpp>

namespace horavex {
namespace {

constexpr std::string_view kRequest = "SHOW\n";
constexpr std::string_view kAnswer = "OK\n";
constexpr int kAnswerBoundMs = 2000;

}  // namespace

struct SingleInstance::Listener : std::enable_shared_from_this<SingleInstance::Listener> {
  explicit Listener(asio::any_io_executor io) : acceptor(io) {}

  void Accept(const std::shared_ptr<Listener>& self) {
    acceptor.async_accept([self](std::error_code ec, asio::local::stream_protocol::socket peer) {
      if (ec == asio::error::operation_aborted || !self->acceptor.is_open()) return;
      if (!ec) self->Serve(std::make_shared<asio::local::stream_protocol::socket>(std::move(peer)));
      self->Accept(self);
    });
  }

  // One request per connection: whatever it says, the first copy shows itself and answers.
  void Serve(std::shared_ptr<asio::local::stream_protocol::socket> peer) {
    auto buffer = std::make_shared<std::array<char, 16>>();
    peer->async_read_some(asio::buffer(*buffer), [this, peer, buffer, self = weak_from_this()](std::error_code ec, std::size_t) {
      if (ec || self.expired()) return;
      asio::post(logic, onShow);
      asio::async_write(*peer, asio::buffer(kAnswer), [peer](std::error_code, std::size_t) {});
    });
  }

  asio::local::stream_protocol::acceptor acceptor;
  asio::any_io_executor logic;
  std::function<void()> onShow;
};

SingleInstance::SingleInstance(std::filesystem::path dir, std::string name)
    : lockPath_(dir / (name + ".lock")), socketPath_(dir / (name + ".sock")) {}

SingleInstance::~SingleInstance() {
  if (listener_) {
    // The acceptor belongs to the io thread: it is closed there, and this waits for that (a
    // moment at most), so that nothing of the listener is left for the io_context's end.
    auto closed = std::make_shared<std::promise<void>>();
    std::future<void> done = closed->get_future();
    asio::post(listener_->acceptor.get_executor(), [listener = listener_, closed] {
      listener->acceptor.close();
      closed->set_value();
    });
    done.wait_for(std::chrono::seconds(1));
    std::error_code ignored;
    std::filesystem::remove(socketPath_, ignored);
  }
  if (lockFd_ >= 0) ::close(lockFd_);
}

std::filesystem::path SingleInstance::DefaultDir() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::error_code error;
  if (runtime && *runtime && std::filesystem::is_directory(runtime, error)) return runtime;
  return std::filesystem::temp_directory_path(error);
}

bool SingleInstance::TryLock() {
  lockFd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lockFd_ < 0) return true;
  if (::flock(lockFd_, LOCK_EX | LOCK_NB) == 0) return true;
  ::close(std::exchange(lockFd_, -1));
  return false;
}

bool SingleInstance::AskFirstToShow() const {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = socketPath_.string();
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool answered = false;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
      ::send(fd, kRequest.data(), kRequest.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(kRequest.size())) {
    pollfd wait{fd, POLLIN, 0};
    char reply[8] = {};
    answered = ::poll(&wait, 1, kAnswerBoundMs) == 1 && ::recv(fd, reply, sizeof reply, 0) > 0 &&
               std::string_view(reply, kAnswer.size()) == kAnswer;
  }
  ::close(fd);
  return answered;
}

bool SingleInstance::Listen(asio::any_io_executor io, asio::any_io_executor logic, std::function<void()> onShow) {
  // Only the lock's holder gets here: a socket file left behind is stale.
  std::error_code ec;
  std::filesystem::remove(socketPath_, ec);
  auto listener = std::make_shared<Listener>(io);
  listener->logic = std::move(logic);
  listener->onShow = std::move(onShow);
  listener->acceptor.open(asio::local::stream_protocol(), ec);
  if (!ec) listener->acceptor.bind(asio::local::stream_protocol::endpoint(socketPath_.string()), ec);
  if (!ec) listener->acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) return false;
  ::chmod(socketPath_.c_str(), 0600);
  listener_ = listener;
  asio::post(io, [listener] { listener->Accept(listener); });
  return true;
}

}  // namespace horavex
