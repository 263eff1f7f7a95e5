// A closed-loop load on a Time or Daytime server at 127.0.0.1: a fixed number of requests in
// flight, each answer followed by a new request, bounded in time and in requests. A lost
// datagram does not stall it: after a silence the missing requests are sent again.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace horavex::bench {

struct LoadLimits {
  std::chrono::milliseconds duration{10000};
  std::uint64_t maxRequests = 20'000'000;
  int inFlight = 16;
};

struct LoadResult {
  std::uint64_t answers = 0;   // answers of the expected size
  std::uint64_t failures = 0;  // other answers, refused or reset connections
  std::uint64_t stalls = 0;    // silences after which the lost requests were sent again (UDP)
  double seconds = 0;
  double PerSecond() const { return seconds > 0 ? static_cast<double>(answers) / seconds : 0; }
};

// Datagrams of 2 bytes ("QZ", as our clients send) to 127.0.0.1:port.
LoadResult RunUdpLoad(std::uint16_t port, std::size_t answerSize, const LoadLimits& limits);
// Connections to 127.0.0.1:port that send nothing and read the answer to its end.
LoadResult RunTcpLoad(std::uint16_t port, std::size_t answerSize, const LoadLimits& limits);

}  // namespace horavex::bench
