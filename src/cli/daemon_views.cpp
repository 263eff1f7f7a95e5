#include "cli/daemon_views.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "common/language.h"
#include "protocol/window_texts.h"

namespace horavex {
namespace {

// A message's lines joined on one line.
std::string OneLine(std::string text) {
  for (std::size_t pos; (pos = text.find("\r\n")) != std::string::npos;) text.replace(pos, 2, " | ");
  return text;
}

}  // namespace

bool LinePrinter::IsJournalStream(int fd) {
  const char* names = std::getenv("JOURNAL_STREAM");
  unsigned long long device = 0, inode = 0;
  if (!names || std::sscanf(names, "%llu:%llu", &device, &inode) != 2) return false;
  struct stat st {};
  return fstat(fd, &st) == 0 && st.st_dev == device && st.st_ino == inode;
}

void LinePrinter::Print(const std::string& title, const std::string& text) {
  if (m_gone) return;
  if (!Flush()) {
    ++m_dropped;
    return;
  }
  const std::string stamp = m_stamped ? FormatClockTime(std::time(nullptr)) + " " : std::string();
  if (m_dropped > 0) {
    m_pending = stamp + "[Horavex] " + std::to_string(m_dropped) + Tr(" regels weggelaten: de uitvoer liep vol\n");
    m_dropped = 0;
  }
  m_pending += stamp + "[" + title + "] " + text + "\n";
  // What the output does not take now stays pending and goes out before the next line.
  Flush();
}

bool LinePrinter::Flush() {
  while (!m_pending.empty()) {
    const long n = WriteNow(m_pending.data(), m_pending.size());
    if (n < 0) {
      m_gone = true;
      m_pending.clear();
    }
    if (n <= 0) return false;
    m_pending.erase(0, static_cast<std::size_t>(n));
  }
  return true;
}

long LinePrinter::WriteNow(const char* data, std::size_t size) {
  // A socket (a log collector's) takes a write that does not wait.
  ssize_t n = ::send(m_fd, data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
  if (n < 0 && errno == ENOTSOCK) {
    // A pipe, terminal or file: write only what the output has room for. A pipe that polls
    // writable takes PIPE_BUF bytes without waiting.
    pollfd p{m_fd, POLLOUT, 0};
    if (::poll(&p, 1, 0) != 1) return 0;
    n = ::write(m_fd, data, std::min<std::size_t>(size, 512));
  }
  if (n >= 0) return static_cast<long>(n);
  // Only a reader that went away, or an output that was closed, ends the log; a full disk or a
  // passing failure costs the lines it hits.
  return errno == EPIPE || errno == EBADF ? -1 : 0;
}

std::vector<std::string> NewLogLines(const std::string& log, const std::string& previousTop) {
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2) {
    std::string line = log.substr(start, end - start);
    if (!previousTop.empty() && line == previousTop) break;
    lines.push_back(std::move(line));
  }
  return lines;
}

void PrintingServerView::ShowRequestLog(const std::string& log) {
  std::vector<std::string> lines = NewLogLines(log, m_previousTop);
  if (lines.empty()) return;
  m_previousTop = lines.front();
  // Oldest first, as a log file reads.
  std::reverse(lines.begin(), lines.end());
  for (const std::string& line : lines) m_printer.Print(m_title, line);
}

void PrintingServerView::ShowError(const std::string& text) { m_printer.Print(m_title, OneLine(text)); }

void PrintingClientView::SetStatusLine(const std::string& text) { m_printer.Print(m_title, text); }

void PrintingClientView::SetMessages(const std::string& text) { m_printer.Print(m_title, OneLine(text)); }

void PrintingClientView::ShowWarning(const std::string&, const std::string& text, std::function<void()> closed) {
  m_printer.Print(m_title, Tr("Waarschuwing: ") + OneLine(text));
  closed();
}

}  // namespace horavex
