// A dial-up port that always reports a network, a modem one included, so that every connection
// mode lets the request through: for a single request asked for by hand, where testing or
// dialling a connection would only get in the way, and for systems without a port of their own.
#include <cerrno>

#include "platform/dialup_port.h"

namespace horavex {
namespace {

class ConnectedDialupPort final : public DialupPort {
 public:
  ConnectedState GetConnectedState() override { return {true, true}; }
  // Never asked: a modem connection is always there.
  DialResult Dial(const std::string&) override { return DialResult::Failed(EOPNOTSUPP); }
  void HangUp(DialHandle) override {}
  void Pause(std::chrono::milliseconds) override {}
};

}  // namespace

std::unique_ptr<DialupPort> MakeConnectedDialupPort() { return std::make_unique<ConnectedDialupPort>(); }

}  // namespace horavex
