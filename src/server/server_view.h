// What a time server shows. The server window implements it; the headless front end prints it;
// tests record it. Every call comes on the logic executor.
#pragma once

#include <string>

namespace horavex {

class ServerView {
 public:
  virtual ~ServerView() = default;
  // The request log, newest first, for the messages field; it replaces what the field showed.
  virtual void ShowRequestLog(const std::string& text) = 0;
  // A numbered error message, or a note on a save, for the messages field; it replaces what the
  // field showed.
  virtual void ShowError(const std::string& text) = 0;
  // The request field: the request count of a running server, or "disabled".
  virtual void SetRequestText(const std::string& text) = 0;
};

// A view that shows nothing.
class NullServerView : public ServerView {
 public:
  void ShowRequestLog(const std::string&) override {}
  void ShowError(const std::string&) override {}
  void SetRequestText(const std::string&) override {}
};

}  // namespace horavex
