// Looks a server name up without blocking the caller and without letting a slow name server
// hold a request beyond its deadline.
#pragma once

#include <chrono>
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

// Addresses of `host`: a numeric address at once, a name through getaddrinfo on a thread of its
// own, waited for on `io`'s timers. Completes with std::errc::timed_out at `deadline`; a lookup
// that answers later is dropped. Resolver failures map to Asio's netdb errors (host not found: 1,
// try again: 2, no recovery: 3).
asio::awaitable<LookupResult> LookUpHost(asio::any_io_executor io, std::string host,
                                         std::chrono::steady_clock::time_point deadline);

}  // namespace horavex
