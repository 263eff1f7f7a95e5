// A client view that remembers what it was shown, for tests.
#pragma once

#include <cerrno>
#include <functional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "client/client_view.h"

namespace horavex::testing {

class RecordingView : public ClientView {
 public:
  void SetStatusLine(const std::string& t) override {
    if (!throwAt.empty() && t == std::exchange(throwAt, "")) throw std::system_error(EAGAIN, std::generic_category());
    statusLines.push_back(t);
  }
  void SetMessages(const std::string& t) override { messages = t, ++messageCount; }
  void SetLastAttempt(const std::string& t) override { lastAttempt = t; }
  void SetLastSync(const std::string& t) override { lastSync = t; }
  void EnableSynchro(bool enabled) override { synchroEnabled = enabled; }
  void ShowWarning(const std::string& title, const std::string& text, std::function<void()> closed) override {
    warnings.push_back(title + ": " + text);
    if (!holdWarnings) return closed();
    openWarning = std::move(closed);
  }
  std::string Status() const { return statusLines.empty() ? "" : statusLines.back(); }

  std::vector<std::string> statusLines;
  std::string messages = "<Meldingen>";
  int messageCount = 0;
  std::string lastAttempt, lastSync;
  bool synchroEnabled = true;
  std::vector<std::string> warnings;    // "title: text"
  bool holdWarnings = false;            // keep the box open until the test calls openWarning
  std::function<void()> openWarning;
  std::string throwAt;                  // the status text whose showing throws, once
};

}  // namespace horavex::testing
