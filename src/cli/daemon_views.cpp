#include "cli/daemon_views.h"

#include <algorithm>
#include <ctime>

#include "protocol/time_formats.h"

namespace horavex {
namespace {

// A message's lines joined on one line.
std::string OneLine(std::string text) {
  for (std::size_t pos; (pos = text.find("\r\n")) != std::string::npos;) text.replace(pos, 2, " | ");
  return text;
}

}  // namespace

void LinePrinter::Print(const std::string& title, const std::string& text) {
  out_ << FormatClockTime(std::time(nullptr)) << " [" << title << "] " << text << std::endl;
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
  std::vector<std::string> lines = NewLogLines(log, previousTop_);
  if (lines.empty()) return;
  previousTop_ = lines.front();
  // Oldest first, as a log file reads.
  std::reverse(lines.begin(), lines.end());
  for (const std::string& line : lines) printer_.Print(title_, line);
}

void PrintingServerView::ShowError(const std::string& text) { printer_.Print(title_, OneLine(text)); }

void PrintingClientView::SetStatusLine(const std::string& text) { printer_.Print(title_, text); }

void PrintingClientView::SetMessages(const std::string& text) { printer_.Print(title_, OneLine(text)); }

void PrintingClientView::ShowWarning(const std::string&, const std::string& text, std::function<void()> closed) {
  printer_.Print(title_, "Waarschuwing: " + OneLine(text));
  closed();
}

}  // namespace horavex
