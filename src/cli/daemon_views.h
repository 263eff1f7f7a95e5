// Views that print what the windows would show, one time-stamped line per event.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "client/client_view.h"
#include "server/server_view.h"

namespace horavex {

// Writes "hh:mm:ss [title] text" lines to a descriptor at once, so that a log collector sees them,
// and never waits: it runs on the thread that serves. A line the output cannot take now is
// dropped and counted, and the count is written before the next line that fits. Once the reader
// has gone (EPIPE; SIGPIPE must be ignored) nothing more is written. Written to systemd's journal
// (the stream JOURNAL_STREAM names), a line has no time of its own: the journal stamps it.
class LinePrinter {
 public:
  explicit LinePrinter(int fd) : m_fd(fd), m_stamped(!IsJournalStream(fd)) {}
  // True when `fd` is the stream that the environment's JOURNAL_STREAM ("device:inode") names.
  static bool IsJournalStream(int fd);
  void Print(const std::string& title, const std::string& text);

 private:
  // Writes what is pending, as far as the output takes it now; true when nothing is left.
  bool Flush();
  // Writes up to `size` bytes without waiting; what was taken, 0 when nothing could be now, -1
  // when the output is gone for good (its reader left, or it was closed).
  long WriteNow(const char* data, std::size_t size);

  int m_fd;
  bool m_stamped;
  std::string m_pending;  // the rest of a line the output took only in part
  std::uint64_t m_dropped = 0;
  bool m_gone = false;
};

// A server's log lines as they arrive and its error messages. A request from the same address
// and port as the newest line is not printed again; the request count shows it.
class PrintingServerView : public ServerView {
 public:
  PrintingServerView(LinePrinter& printer, std::string title) : m_printer(printer), m_title(std::move(title)) {}
  void ShowRequestLog(const std::string& log) override;
  void ShowError(const std::string& text) override;
  void SetRequestText(const std::string&) override {}

 private:
  LinePrinter& m_printer;
  std::string m_title;
  std::string m_previousTop;
};

// A client's status lines and messages; a warning is printed and closed at once.
class PrintingClientView : public ClientView {
 public:
  PrintingClientView(LinePrinter& printer, std::string title) : m_printer(printer), m_title(std::move(title)) {}
  void SetStatusLine(const std::string& text) override;
  void SetMessages(const std::string& text) override;
  void SetLastAttempt(const std::string&) override {}
  void SetLastSync(const std::string&) override {}
  void EnableSynchro(bool) override {}
  void ShowWarning(const std::string& title, const std::string& text, std::function<void()> closed) override;

 private:
  LinePrinter& m_printer;
  std::string m_title;
};

// The lines of `log` (newest first) that are newer than the line `previousTop`.
std::vector<std::string> NewLogLines(const std::string& log, const std::string& previousTop);

}  // namespace horavex
