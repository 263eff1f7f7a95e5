#include "client/name_lookup.h"

#include <netdb.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <asio/error.hpp>
#include <asio/this_coro.hpp>
#include <asio/redirect_error.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>

namespace horavex {
namespace {

std::error_code LookupError(int gai) {
  switch (gai) {
    case EAI_AGAIN: return asio::error::host_not_found_try_again;
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
      return asio::error::host_not_found;
    case EAI_MEMORY: return std::make_error_code(std::errc::not_enough_memory);
    case EAI_SYSTEM: return {errno, std::system_category()};
    default: return asio::error::no_recovery;
  }
}

}  // namespace

LookupResult ResolveHost(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;  // one entry per address
  addrinfo* list = nullptr;
  LookupResult r;
  if (const int gai = getaddrinfo(host.c_str(), nullptr, &hints, &list); gai != 0) {
    r.error = LookupError(gai);
    return r;
  }
  for (const addrinfo* ai = list; ai; ai = ai->ai_next) {
    if (ai->ai_family == AF_INET) {
      const auto* sin = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
      r.addresses.emplace_back(asio::ip::address_v4(ntohl(sin->sin_addr.s_addr)));
    } else if (ai->ai_family == AF_INET6) {
      const auto* sin6 = reinterpret_cast<const sockaddr_in6*>(ai->ai_addr);
      asio::ip::address_v6::bytes_type b;
      std::copy(std::begin(sin6->sin6_addr.s6_addr), std::end(sin6->sin6_addr.s6_addr), b.begin());
      r.addresses.emplace_back(asio::ip::address_v6(b, sin6->sin6_scope_id));
    }
  }
  freeaddrinfo(list);
  std::stable_partition(r.addresses.begin(), r.addresses.end(), [](const auto& a) { return a.is_v4(); });
  if (r.addresses.empty()) r.error = asio::error::host_not_found;
  return r;
}

int LookupErrorNumber(const std::error_code& error) {
  if (error.category() == asio::error::get_netdb_category()) return 11000 + error.value();
  return error.value();
}

namespace {

// Shared between the waiting request and the lookup thread. The thread only fills in the
// result; it never touches Asio, so it may outlive the request and the io_context alike.
struct Pending {
  std::mutex mutex;
  std::optional<LookupResult> result;
};

}  // namespace

asio::awaitable<LookupResult> LookUpHost(asio::any_io_executor io, std::string host,
                                         std::chrono::steady_clock::time_point deadline, HostResolver resolve) {
  std::error_code ec;
  if (const auto numeric = asio::ip::make_address(host, ec); !ec) co_return LookupResult{{}, {numeric}};

  auto pending = std::make_shared<Pending>();
  std::thread([pending, resolve = std::move(resolve), name = std::move(host)] {
    LookupResult r = resolve(name);
    std::lock_guard lock(pending->mutex);
    pending->result = std::move(r);
  }).detach();

  // Look for the answer at growing intervals: a name from /etc/hosts is there within the first
  // millisecond, a name server's answer within a few polls of its arrival.
  asio::steady_timer poll(io);
  for (auto step = std::chrono::milliseconds(1);; step = std::min(step * 2, std::chrono::milliseconds(25))) {
    {
      std::lock_guard lock(pending->mutex);
      if (pending->result) co_return std::move(*pending->result);
    }
    // A cancellation that came while this was not waiting on the timer ends the lookup here.
    if ((co_await asio::this_coro::cancellation_state).cancelled() != asio::cancellation_type::none)
      co_return LookupResult{asio::error::operation_aborted, {}};
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) co_return LookupResult{std::make_error_code(std::errc::timed_out), {}};
    poll.expires_at(std::min(deadline, now + step));
    co_await poll.async_wait(asio::redirect_error(asio::use_awaitable, ec));
    if (ec == asio::error::operation_aborted) co_return LookupResult{ec, {}};
  }
}

}  // namespace horavex
