// What a time client shows. The client window implements it; the headless front end prints it;
// tests record it.
#pragma once

#include <functional>
#include <string>

namespace horavex {

class ClientView {
 public:
  virtual ~ClientView() = default;
  virtual void SetStatusLine(const std::string& text) = 0;   // the status line under the messages
  virtual void SetMessages(const std::string& text) = 0;     // the messages field
  virtual void SetLastAttempt(const std::string& text) = 0;  // "Laatste poging"
  virtual void SetLastSync(const std::string& text) = 0;     // "Laatste Synchro"
  virtual void EnableSynchro(bool enabled) = 0;              // the Synchro button
  // Shows a warning box with a stop icon and an OK button. The view calls `closed` exactly once,
  // when the user has closed it; the request waits for that.
  virtual void ShowWarning(const std::string& title, const std::string& text, std::function<void()> closed) = 0;
};

// A view that shows nothing and closes every warning at once.
class NullClientView : public ClientView {
 public:
  void SetStatusLine(const std::string&) override {}
  void SetMessages(const std::string&) override {}
  void SetLastAttempt(const std::string&) override {}
  void SetLastSync(const std::string&) override {}
  void EnableSynchro(bool) override {}
  void ShowWarning(const std::string&, const std::string&, std::function<void()> closed) override { closed(); }
};

}  // namespace horavex
