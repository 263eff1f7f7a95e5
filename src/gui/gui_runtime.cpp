#include "gui/gui_runtime.h"

#include "gui/gui_executor.h"

namespace horavex {

GuiRuntime::GuiRuntime() : work_(asio::make_work_guard(io_)) {}

std::error_code GuiRuntime::Start() {
  if (thread_.joinable()) return {};
  // std::thread reports a thread the system will not start by throwing; no one above this asks for that.
  try {
    thread_ = std::thread([this] { io_.run(); });
  } catch (const std::system_error& e) {
    return e.code();
  }
  return {};
}

GuiRuntime::~GuiRuntime() { Stop(); }

Executors GuiRuntime::GetExecutors() { return {io_.get_executor(), GuiExecutor(logicContext_)}; }

void GuiRuntime::Stop() {
  if (!thread_.joinable()) return;
  work_.reset();
  io_.stop();
  thread_.join();
}

}  // namespace horavex
