// Looks a server name up without blocking the caller and without letting a slow name server
// hold a request beyond its deadline.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include <asio/any_io_executor.hpp>
#include <asio/awaitable.hpp>
#include <asio/ip/address.hpp>

namespace horavex {

struct LookupResult {
  std::error_code error;
  std::vector<asio::ip::address> addresses;  // IPv4 first
};

// Looks a name up, blocking; it may be called on any thread and must touch nothing shared.
using HostResolver = std::function<LookupResult(const std::string& host)>;

// The system's resolver (getaddrinfo). Failures are Asio's netdb errors (host not found: 1,
// try again: 2, no recovery: 3).
LookupResult ResolveHost(const std::string& host);

// The number a client shows for a lookup that failed: the netdb number moved past every errno
// (11001 host not found, 11002 try again, 11003 no recovery, 11004 no address), so that it is
// never read as a socket's or the clock's error; any other error's own number.
int LookupErrorNumber(const std::error_code& error);

// Addresses of `host`: a numeric address at once, a name through `resolve` on a thread of its
// own, waited for on `io`'s timers. Completes with std::errc::timed_out at `deadline`, and with
// operation_aborted when the wait is cancelled; a lookup that answers later is dropped.
asio::awaitable<LookupResult> LookUpHost(asio::any_io_executor io, std::string host,
                                         std::chrono::steady_clock::time_point deadline,
                                         HostResolver resolve = ResolveHost);

}  // namespace horavex
