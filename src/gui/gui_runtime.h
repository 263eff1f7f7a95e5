// The two threads of the windowed program: the window thread runs the logic (GuiExecutor), one
// network thread runs the sockets. The io thread must be joined before wx goes away and after
// the windows have let go of their logic objects: Stop, in wxApp::OnExit.
#pragma once

#include <system_error>
#include <thread>

#include <asio/execution_context.hpp>
#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>

#include "common/executors.h"

namespace horavex {

class GuiRuntime {
 public:
  // Makes the two contexts; the network thread starts with Start. Needs wxTheApp for the logic side.
  GuiRuntime();
  // Stops the network thread, as Stop.
  ~GuiRuntime();
  GuiRuntime(const GuiRuntime&) = delete;
  GuiRuntime& operator=(const GuiRuntime&) = delete;

  // Starts the network thread; the system's reason when it cannot (nothing runs then).
  [[nodiscard]] std::error_code Start();
  // logic: the window thread; io: the network thread.
  Executors GetExecutors();
  // Stops the io_context and joins its thread; nothing when already stopped.
  void Stop();

 private:
  asio::execution_context logicContext_;
  asio::io_context io_;
  asio::executor_work_guard<asio::io_context::executor_type> work_;
  std::thread thread_;
};

}  // namespace horavex
