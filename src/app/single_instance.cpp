#include "app/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <vector>

#include <asio/local/stream_protocol.hpp>
#include <asio/post.hpp>
#include <asio/write.hpp>

#include "common/language.h"

namespace horavex {
namespace {

constexpr std::string_view kRequest = "SHOW\n";
constexpr std::string_view kAnswer = "OK\n";
constexpr int kAnswerBoundMs = 2000;

// Why the folder `dir` is not this user's own, writable by this user alone; empty when it is. A
// symbolic link in its place counts as not its own: its target could be anyone's.
std::string DistrustOf(const std::filesystem::path& dir) {
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0) return std::string(Tr("is niet te maken: ")) + std::strerror(errno);
  if (!S_ISDIR(st.st_mode)) return Tr("is geen map");
  if (st.st_uid != ::geteuid()) return Tr("is van een andere gebruiker");
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) return Tr("is ook door anderen te beschrijven");
  return {};
}

// Whether `st` describes a file of `type` that belongs to this user.
bool OwnFile(const struct stat& st, mode_t type) { return (st.st_mode & S_IFMT) == type && st.st_uid == ::geteuid(); }

std::filesystem::path HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home == '/') return home;
  std::vector<char> buffer(16384);
  passwd pw{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &pw, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
    return found->pw_dir;
  return {};
}

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
    : m_dir(std::move(dir)), m_lockPath(m_dir / (name + ".lock")), m_socketPath(m_dir / (name + ".sock")) {}

SingleInstance::~SingleInstance() {
  if (m_listener) {
    // The acceptor belongs to the io thread: it is closed there, and this waits for that (a
    // moment at most), so that nothing of the listener is left for the io_context's end.
    auto closed = std::make_shared<std::promise<void>>();
    std::future<void> done = closed->get_future();
    asio::post(m_listener->acceptor.get_executor(), [listener = m_listener, closed] {
      listener->acceptor.close();
      closed->set_value();
    });
    done.wait_for(std::chrono::seconds(1));
    std::error_code ignored;
    std::filesystem::remove(m_socketPath, ignored);
  }
  if (m_lockFd >= 0) ::close(m_lockFd);
}

std::filesystem::path SingleInstance::DefaultDir() {
  // A relative XDG folder is invalid and to be ignored.
  std::error_code error;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime == '/' && std::filesystem::is_directory(runtime, error))
    return std::filesystem::path(runtime) / "horavex";
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache && *cache == '/') return std::filesystem::path(cache) / "horavex";
  const std::filesystem::path home = HomeFolder();
  return home.empty() ? home : home / ".cache" / "horavex";
}

bool SingleInstance::TryLock() {
  m_problem.clear();
  std::error_code error;
  if (m_dir.has_parent_path()) std::filesystem::create_directories(m_dir.parent_path(), error);
  ::mkdir(m_dir.c_str(), 0700);
  if (const std::string distrust = DistrustOf(m_dir); !distrust.empty()) {
    m_problem = Tr("De map ") + m_dir.string() + " " + distrust + ".";
  } else {
    m_lockFd = ::open(m_lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    struct stat st {};
    if (m_lockFd < 0) {
      m_problem = Tr("Het slot ") + m_lockPath.string() + Tr(" is niet te maken: ") + std::strerror(errno) + ".";
    } else if (::fstat(m_lockFd, &st) != 0 || !OwnFile(st, S_IFREG)) {
      m_problem = Tr("Het slot ") + m_lockPath.string() + Tr(" is niet van deze gebruiker.");
    } else {
      if (::flock(m_lockFd, LOCK_EX | LOCK_NB) == 0) return true;
      ::close(std::exchange(m_lockFd, -1));
      return false;
    }
  }
  if (m_lockFd >= 0) ::close(std::exchange(m_lockFd, -1));
  return true;
}

bool SingleInstance::AskFirstToShow() const {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = m_socketPath.string();
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  // A socket that is not this user's is not the first copy's, whatever it answers.
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !OwnFile(st, S_IFSOCK)) return false;
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
  if (m_lockFd < 0) return false;
  // Only the lock's holder gets here: a socket file left behind is stale.
  std::error_code ec;
  std::filesystem::remove(m_socketPath, ec);
  auto listener = std::make_shared<Listener>(io);
  listener->logic = std::move(logic);
  listener->onShow = std::move(onShow);
  listener->acceptor.open(asio::local::stream_protocol(), ec);
  if (!ec) listener->acceptor.bind(asio::local::stream_protocol::endpoint(m_socketPath.string()), ec);
  if (!ec) listener->acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) return false;
  ::chmod(m_socketPath.c_str(), 0600);
  m_listener = listener;
  asio::post(io, [listener] { listener->Accept(listener); });
  return true;
}

}  // namespace horavex
