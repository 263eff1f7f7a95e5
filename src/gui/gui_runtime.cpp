#include "gui/gui_runtime.h"

#include "gui/gui_executor.h"

namespace horavex {

GuiRuntime::GuiRuntime() : work_(asio::make_work_guard(io_)), thread_([this] { io_.run(); }) {}

GuiRuntime::~GuiRuntime() { Stop(); }

Executors GuiRuntime::GetExecutors() { return {io_.get_executor(), GuiExecutor(logicContext_)}; }

void GuiRuntime::Stop() {
  if (!thread_.joinable()) return;
  work_.reset();
  io_.stop();
  thread_.join();
}

}  // namespace horavex
