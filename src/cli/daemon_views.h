// Views that print what the windows would show, one time-stamped line per event.
#pragma once

#include <ostream>
#include <string>

#include "client/client_view.h"
#include "server/server_view.h"

namespace horavex {

// Writes "hh:mm:ss [title] text" and flushes, so that a log collector sees it at once.
class LinePrinter {
 public:
  explicit LinePrinter(std::ostream& out) : out_(out) {}
  void Print(const std::string& title, const std::string& text);

 private:
  std::ostream& out_;
};

// A server's log lines as they arrive and its error messages. A request from the same address
// and port as the newest line is not printed again; the request count shows it.
class PrintingServerView : public ServerView {
 public:
  PrintingServerView(LinePrinter& printer, std::string title) : printer_(printer), title_(std::move(title)) {}
  void ShowRequestLog(const std::string& log) override;
  void ShowError(const std::string& text) override;
  void SetRequestText(const std::string&) override {}

 private:
  LinePrinter& printer_;
  std::string title_;
  std::string previousTop_;
};

// A client's status lines and messages; a warning is printed and closed at once.
class PrintingClientView : public ClientView {
 public:
  PrintingClientView(LinePrinter& printer, std::string title) : printer_(printer), title_(std::move(title)) {}
  void SetStatusLine(const std::string& text) override;
  void SetMessages(const std::string& text) override;
  void SetLastAttempt(const std::string&) override {}
  void SetLastSync(const std::string&) override {}
  void EnableSynchro(bool) override {}
  void ShowWarning(const std::string& title, const std::string& text, std::function<void()> closed) override;

 private:
  LinePrinter& printer_;
  std::string title_;
};

// The lines of `log` (newest first) that are newer than the line `previousTop`.
std::vector<std::string> NewLogLines(const std::string& log, const std::string& previousTop);

}  // namespace horavex
