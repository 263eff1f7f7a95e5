#include "support/chrony_peer.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <vector>

#include "support/loopback_probe.h"
#include "protocol/time_formats.h"

namespace horavex::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// True for "-x" and for option clusters holding it ("-dx"); chronyd parses its options with getopt.
bool DisablesClockControl(const std::string& arg) {
  return arg.size() >= 2 && arg[0] == '-' && arg[1] != '-' &&
         std::all_of(arg.begin() + 1, arg.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); }) &&
         arg.find('x') != std::string::npos;
}

std::vector<std::string> CommandLine(const std::filesystem::path& procDir) {
  std::vector<std::string> args;
  std::istringstream raw(ReadFile(procDir / "cmdline"));
  for (std::string arg; std::getline(raw, arg, '\0');) args.push_back(arg);
  return args;
}

// chronyd drops root for its own user after start; the drift and pid files live in our
// directory, so that user must be able to write there.
std::vector<std::string> UserArguments(const std::filesystem::path& dir) {
  if (geteuid() != 0) return {};
  if (const passwd* pw = getpwnam("_chrony")) {
    if (chown(dir.c_str(), pw->pw_uid, pw->pw_gid) == 0) return {"-u", "_chrony"};
  }
  return {"-u", "root"};
}

// A running chronyd started without -x (so it may set the clock), as "PID n: command line";
// empty when there is none.
std::string ClockSteeringChronyd() {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (!std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    if (ReadFile(entry.path() / "comm") != "chronyd\n") continue;
    const std::vector<std::string> args = CommandLine(entry.path());
    if (args.empty() || std::any_of(args.begin() + 1, args.end(), DisablesClockControl)) continue;
    std::string line = "PID " + name + ":";
    for (const std::string& a : args) line += " " + a;
    return line;
  }
  return {};
}

}  // namespace

std::unique_ptr<ChronyPeer> ChronyPeer::Start(std::string& error, milliseconds bound) {
  if (!FindProgram("chronyd")) {
    error = "chronyd niet gevonden";
    return nullptr;
  }
  if (const std::string other = ClockSteeringChronyd(); !other.empty()) {
    error = "er draait al een chronyd die de systeemklok kan bijsturen (" + other +
            "); stop die eerst, een test start geen chronyd ernaast";
    return nullptr;
  }
  std::unique_ptr<ChronyPeer> peer(new ChronyPeer);
  const auto deadline = Clock::now() + bound;
  // A port can be taken between FreePort and chronyd's bind; chronyd then exits, and a new port
  // is tried.
  for (int attempt = 0; attempt < 3 && Clock::now() < deadline; ++attempt) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    if (peer->TryStart(left, error)) return peer;
  }
  return nullptr;
}

bool ChronyPeer::TryStart(milliseconds bound, std::string& error) {
  process_.reset();
  port_ = FreePort();
  if (port_ == 0) {
    error = "geen vrije poort op 127.0.0.1";
    return false;
  }
  const std::filesystem::path conf = dir_.File("chrony.conf");
  std::ofstream(conf) << "port " << port_ << "\n"
                      << "bindaddress 127.0.0.1\nallow 127.0.0.1\nlocal stratum 10\n"
                      // No command port and no command socket: the system's chronyc must not reach us.
                      << "cmdport 0\nbindcmdaddress /\n"
                      << "pidfile " << dir_.File("chronyd.pid").string() << "\n"
                      << "driftfile " << dir_.File("chrony.drift").string() << "\n";
  std::vector<std::string> argv{"chronyd", "-x", "-d", "-f", conf.string()};
  const std::vector<std::string> user = UserArguments(dir_.Path());
  argv.insert(argv.begin() + 1, user.begin(), user.end());
  process_ = PeerProcess::Start(argv, dir_.File("chronyd.log"), error);
  if (!process_) return false;
  // A tripwire should -x ever leave argv: the chronyd just started must leave the clock alone.
  if (const std::string steering = ClockSteeringChronyd(); !steering.empty()) {
    process_->Stop();
    error = "de gestarte chronyd kan de systeemklok bijsturen: " + steering;
    return false;
  }
  NtpPacket request{};
  request[0] = kSntpRequestByte0;
  const bool ready = process_->AwaitReady(
      [&] {
        const auto answer = WaitForUdpAnswer(port_, request, milliseconds{200});
        return answer && answer->size() == kNtpPacketSize;
      },
      bound);
  if (!ready) error = "chronyd antwoordde niet op poort " + std::to_string(port_) + ":\n" + process_->Log();
  return ready;
}

}  // namespace horavex::testing
