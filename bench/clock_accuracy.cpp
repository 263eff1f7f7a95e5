// How right the SNTP client leaves the clock: a scripted server on loopback, exactly kOffset ahead
// of the real clock, behind simulated paths (it holds each request and each answer a while), and a
// clock that records the correction it is asked for instead of setting anything. Prints, per path,
// the error of that correction against the true offset over RUNS requests.
//
//   clock_accuracy [RUNS]     (default 10 per path; loopback only, bounded in count and time)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <asio/io_context.hpp>

#include "client/time_client.h"
#include "common/dialup.h"
#include "common/profile.h"
#include "platform/clock.h"
#include "support/fake_dialup_port.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using horavex::testing::Script;
using horavex::testing::ScriptedServer;

constexpr std::chrono::nanoseconds kOffset = 10'250ms;

// The real clock, read only: a step is recorded and reported as made.
class RecordingClock final : public horavex::Clock {
 public:
  ~RecordingClock() override { CloseQueue(); }
  std::chrono::nanoseconds Now() override { return std::chrono::system_clock::now().time_since_epoch(); }
  std::chrono::nanoseconds Monotonic() override { return std::chrono::steady_clock::now().time_since_epoch(); }
  int StepBy(std::chrono::nanoseconds by) override {
    corrections.push_back(by);
    return 0;
  }
  std::vector<std::chrono::nanoseconds> corrections;
};

struct Path {
  std::chrono::milliseconds in, out;
};

// The errors (ms) of the corrections `runs` requests ask for over `path`.
std::vector<double> Errors(const Path& path, int runs) {
  using namespace horavex;
  ScriptedServer server(Script::LiveSntp(kOffset, path.in, path.out));
  testing::TempDir dir;
  Profile profile(dir.File("horavex.ini"));
  RecordingClock clock;
  asio::io_context io;
  DialupService dialup(std::make_unique<testing::FakeDialupPort>(), io.get_executor());
  NullClientView view;
  TimeClient client(ClientKind::SntpUdp, ClientServices{{io.get_executor(), io.get_executor()}, profile, clock, dialup},
                    view);
  client.Settings().m_server = "127.0.0.1";
  client.Settings().m_port = server.Port();
  client.Settings().m_warnLevel = 0;
  int left = runs;
  client.SetFinishedObserver([&] {
    if (--left == 0) return io.stop();
    client.DoSynchro();
  });
  client.DoSynchro();
  io.run_for(std::chrono::seconds(60));
  std::vector<double> errors;
  for (auto c : clock.corrections) errors.push_back(std::chrono::duration<double, std::milli>(c - kOffset).count());
  return errors;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 100) : 10;
  const Path paths[] = {{0ms, 0ms}, {5ms, 5ms}, {50ms, 50ms}, {200ms, 200ms}, {10ms, 90ms}};
  std::printf("SNTP-server %+.3f s voor, op 127.0.0.1; fout van de gevraagde correctie, %d verzoeken per pad\n",
              std::chrono::duration<double>(kOffset).count(), runs);
  std::printf("%-18s %14s %14s %14s %8s\n", "pad heen/terug", "mediaan ms", "slechtste ms", "theorie ms", "gezet");
  bool met = true;
  for (const Path& p : paths) {
    std::vector<double> e = Errors(p, runs);
    const double theory = static_cast<double>((p.in - p.out).count()) / 2;
    char name[32];
    std::snprintf(name, sizeof name, "%lld/%lld ms", static_cast<long long>(p.in.count()),
                  static_cast<long long>(p.out.count()));
    if (e.empty()) {
      std::printf("%-18s %14s %14s %14.3f %8d\n", name, "-", "-", theory, 0);
      met = false;
      continue;
    }
    std::sort(e.begin(), e.end());
    const double median = e[e.size() / 2];
    const double worst = *std::max_element(e.begin(), e.end(), [](double a, double b) { return std::abs(a) < std::abs(b); });
    std::printf("%-18s %14.3f %14.3f %14.3f %8zu\n", name, median, worst, theory, e.size());
    met = met && static_cast<int>(e.size()) == runs && std::abs(median - theory) <= 1.0;
  }
  std::printf("doel: mediaan binnen 1 ms van de theorie (0 bij een symmetrisch pad): %s\n", met ? "gehaald" : "NIET gehaald");
  return met ? 0 : 1;
}
