// Where work runs. `logic` is the one thread that runs all program logic (the window thread in
// the windowed program); `io` runs the sockets. They may be the same executor.
#pragma once

#include <asio/any_io_executor.hpp>

namespace horavex {

struct Executors {
  asio::any_io_executor io;
  asio::any_io_executor logic;
};

}  // namespace horavex
