#include "load_generator.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <vector>

namespace horavex::bench {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSilenceMs = 20;

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

class UdpLoad {
 public:
  UdpLoad(std::uint16_t port, std::size_t answerSize, const LoadLimits& limits)
      : answerSize_(answerSize), limits_(limits), fd_(socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {
    const sockaddr_in to = Loopback(port);
    connect(fd_, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    for (std::size_t i = 0; i < kBatch; ++i) {
      outIov_[i] = {const_cast<char*>(kRequest), 2};
      out_[i].msg_hdr.msg_iov = &outIov_[i];
      out_[i].msg_hdr.msg_iovlen = 1;
      inIov_[i] = {in_[i].data(), in_[i].size()};
      inMsg_[i].msg_hdr.msg_iov = &inIov_[i];
      inMsg_[i].msg_hdr.msg_iovlen = 1;
    }
  }
  ~UdpLoad() { close(fd_); }
  UdpLoad(const UdpLoad&) = delete;
  UdpLoad& operator=(const UdpLoad&) = delete;

  LoadResult Run() {
    const auto start = Clock::now();
    const auto deadline = start + limits_.duration;
    TopUp();
    while (Clock::now() < deadline && result_.answers < limits_.maxRequests) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, kSilenceMs) == 0) {
        // Whatever was outstanding is taken as lost.
        ++result_.stalls;
        outstanding_ = 0;
      } else {
        Receive();
      }
      TopUp();
    }
    result_.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return result_;
  }

 private:
  static constexpr std::size_t kBatch = 64;
  static constexpr const char* kRequest = "QZ";

  void Receive() {
    const int n = recvmmsg(fd_, inMsg_.data(), kBatch, MSG_DONTWAIT, nullptr);
    if (n < 0) {
      if (errno != EAGAIN) ++result_.failures;
      return;
    }
    for (int i = 0; i < n; ++i) {
      if (inMsg_[i].msg_len == answerSize_) ++result_.answers;
      else ++result_.failures;
    }
    outstanding_ = std::max(0, outstanding_ - n);
  }

  void TopUp() {
    const std::uint64_t left = limits_.maxRequests - std::min(limits_.maxRequests, sent_);
    const auto wanted = std::min<std::uint64_t>({static_cast<std::uint64_t>(std::max(0, limits_.inFlight - outstanding_)),
                                                 kBatch, left});
    if (wanted == 0) return;
    const int n = sendmmsg(fd_, out_.data(), static_cast<unsigned>(wanted), 0);
    if (n > 0) {
      outstanding_ += n;
      sent_ += static_cast<std::uint64_t>(n);
    }
  }

  std::size_t answerSize_;
  LoadLimits limits_;
  int fd_;
  int outstanding_ = 0;
  std::uint64_t sent_ = 0;
  LoadResult result_;
  std::array<iovec, kBatch> outIov_{};
  std::array<mmsghdr, kBatch> out_{};
  std::array<std::array<char, 64>, kBatch> in_{};
  std::array<iovec, kBatch> inIov_{};
  std::array<mmsghdr, kBatch> inMsg_{};
};

class TcpLoad {
 public:
  TcpLoad(std::uint16_t port, std::size_t answerSize, const LoadLimits& limits)
      : port_(port), answerSize_(answerSize), limits_(limits), epoll_(epoll_create1(EPOLL_CLOEXEC)),
        slots_(static_cast<std::size_t>(limits.inFlight)) {}
  ~TcpLoad() {
    for (const Slot& s : slots_) {
      if (s.fd >= 0) close(s.fd);
    }
    close(epoll_);
  }
  TcpLoad(const TcpLoad&) = delete;
  TcpLoad& operator=(const TcpLoad&) = delete;

  LoadResult Run() {
    const auto start = Clock::now();
    deadline_ = start + limits_.duration;
    for (std::size_t i = 0; i < slots_.size(); ++i) Open(i);
    std::array<epoll_event, 64> events{};
    while (Clock::now() < deadline_ && result_.answers < limits_.maxRequests) {
      const int n = epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), kSilenceMs);
      for (int i = 0; i < n; ++i) Readable(events[static_cast<std::size_t>(i)].data.u32);
    }
    result_.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return result_;
  }

 private:
  struct Slot {
    int fd = -1;
    std::size_t got = 0;
  };

  void Open(std::size_t index) {
    Slot& slot = slots_[index];
    slot = {};
    if (opened_ >= limits_.maxRequests || Clock::now() >= deadline_) return;
    slot.fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const sockaddr_in to = Loopback(port_);
    if (connect(slot.fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 && errno != EINPROGRESS) {
      ++result_.failures;
      close(slot.fd);
      slot.fd = -1;
      return;
    }
    ++opened_;
    epoll_event e{};
    e.events = EPOLLIN | EPOLLRDHUP;
    e.data.u32 = static_cast<std::uint32_t>(index);
    epoll_ctl(epoll_, EPOLL_CTL_ADD, slot.fd, &e);
  }

  void Readable(std::uint32_t index) {
    Slot& slot = slots_[index];
    for (;;) {
      char buffer[64];
      const ssize_t n = recv(slot.fd, buffer, sizeof buffer, 0);
      if (n > 0) {
        slot.got += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EAGAIN) return;  // the end is still to come
      if (n == 0 && slot.got == answerSize_) ++result_.answers;
      else ++result_.failures;
      close(slot.fd);
      Open(index);
      return;
    }
  }

  std::uint16_t port_;
  std::size_t answerSize_;
  LoadLimits limits_;
  int epoll_;
  std::vector<Slot> slots_;
  Clock::time_point deadline_;
  std::uint64_t opened_ = 0;
  LoadResult result_;
};

}  // namespace

LoadResult RunUdpLoad(std::uint16_t port, std::size_t answerSize, const LoadLimits& limits) {
  return UdpLoad(port, answerSize, limits).Run();
}

LoadResult RunTcpLoad(std::uint16_t port, std::size_t answerSize, const LoadLimits& limits) {
  return TcpLoad(port, answerSize, limits).Run();
}

}  // namespace horavex::bench
