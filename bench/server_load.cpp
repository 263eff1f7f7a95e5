// Load on our Time servers over UDP and TCP, next to a minimal blocking reference server and to
// xinetd's internal time service, in the same run: answers per second, the server's own CPU time
// per answer, and its memory before and after the flood.
//
//   server_load [--seconds N] [--inflight K] [--max-requests M] [--rounds R] [--no-xinetd]
//               [--only TEXT]   (only the servers whose name holds TEXT, e.g. "TCP")
//               [--all-addresses]   (ours listens on all addresses, IPv6 and IPv4, as by default)
//
// Loopback only (requests go to 127.0.0.1); every run is bounded in seconds and in requests. On
// two cores the generator itself limits TCP (its connect does the server's handshake work too), so
// CPU per answer is the fair figure there. With few requests in flight every answer is a wake-up
// of its own: `--inflight 1` shows the cost of the pattern of system calls, the default that of
// batches.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "load_generator.h"
#include "proc_stat.h"
#include "server_process.h"
#include "support/peers.h"

namespace horavex::bench {
namespace {

struct Options {
  LoadLimits limits;
  int rounds = 1;
  bool xinetd = true;
  bool allAddresses = false;  // ours listens on all addresses
  std::string only;  // measure only the servers whose name holds this text
};

struct Row {
  std::string name;
  LoadResult load;
  double cpuSeconds = 0;
  long rssBefore = -1, rssAfter = -1;
  double CpuMicrosPerAnswer() const {
    return load.answers ? cpuSeconds * 1e6 / static_cast<double>(load.answers) : 0;
  }
};

enum class Transport { Udp, Tcp };

Row Measure(const std::string& name, pid_t pid, Transport transport, std::uint16_t port, const Options& options) {
  Row row;
  row.name = name;
  row.rssBefore = ResidentKb(pid);
  const double cpuBefore = ProcessCpuSeconds(pid);
  row.load = transport == Transport::Udp ? RunUdpLoad(port, 4, options.limits) : RunTcpLoad(port, 4, options.limits);
  row.cpuSeconds = ProcessCpuSeconds(pid) - cpuBefore;
  row.rssAfter = ResidentKb(pid);
  return row;
}

bool Wanted(const std::string& name, const Options& options) {
  return name.find(options.only) != std::string::npos;
}

std::optional<Row> MeasureOurs(const std::string& name, ServerUnderTest which, Transport transport,
                               const Options& options) {
  if (!Wanted(name, options)) return std::nullopt;
  const auto server = ServerProcess::Start(which, options.allAddresses);
  if (!server) {
    std::printf("%s: server start mislukt\n", name.c_str());
    return std::nullopt;
  }
  return Measure(name, server->Pid(), transport, server->Port(), options);
}

std::vector<Row> RunRound(const Options& options) {
  std::vector<Row> rows;
  const auto add = [&](std::optional<Row> row) {
    if (row) rows.push_back(std::move(*row));
  };
  add(MeasureOurs("referentie UDP", ServerUnderTest::kReferenceUdp, Transport::Udp, options));
  add(MeasureOurs("Horavex UDP", ServerUnderTest::kHoravexUdp, Transport::Udp, options));
  add(MeasureOurs("referentie TCP", ServerUnderTest::kReferenceTcp, Transport::Tcp, options));
  add(MeasureOurs("Horavex TCP", ServerUnderTest::kHoravexTcp, Transport::Tcp, options));
  if (options.xinetd && (Wanted("xinetd TCP", options) || Wanted("xinetd UDP", options))) {
    std::string error;
    auto xinetd = testing::TimePeer::Xinetd(error, testing::XinetdOptions{.unlimitedTcpRate = true});
    if (!xinetd) {
      std::printf("xinetd overgeslagen: %s\n", error.c_str());
    } else {
      if (Wanted("xinetd TCP", options))
        add(Measure("xinetd TCP", xinetd->Pid(), Transport::Tcp, xinetd->TimePort(), options));
      if (Wanted("xinetd UDP", options))
        add(Measure("xinetd UDP", xinetd->Pid(), Transport::Udp, xinetd->TimePort(), options));
    }
  }
  return rows;
}

void PrintRows(const std::vector<Row>& rows) {
  std::printf("%-17s %10s %10s %9s %7s %11s %11s %8s\n", "server", "antwoorden", "per s", "CPU us/a", "fouten",
              "RSS voor kB", "RSS na kB", "groei kB");
  for (const Row& r : rows) {
    std::printf("%-17s %10llu %10.0f %9.2f %7llu %11ld %11ld %8ld\n", r.name.c_str(),
                static_cast<unsigned long long>(r.load.answers), r.load.PerSecond(), r.CpuMicrosPerAnswer(),
                static_cast<unsigned long long>(r.load.failures + r.load.stalls), r.rssBefore, r.rssAfter,
                r.rssAfter - r.rssBefore);
  }
}

const Row* Find(const std::vector<Row>& rows, const std::string& name) {
  const auto it = std::find_if(rows.begin(), rows.end(), [&](const Row& r) { return r.name == name; });
  return it == rows.end() ? nullptr : &*it;
}

// The ratios the aims are stated in, per round.
std::map<std::string, double> Ratios(const std::vector<Row>& rows) {
  std::map<std::string, double> ratios;
  const auto ratio = [&](const std::string& key, const char* a, const char* b, bool cpu) {
    const Row* x = Find(rows, a);
    const Row* y = Find(rows, b);
    if (!x || !y) return;
    const double den = cpu ? y->CpuMicrosPerAnswer() : y->load.PerSecond();
    if (den > 0) ratios[key] = (cpu ? x->CpuMicrosPerAnswer() : x->load.PerSecond()) / den;
  };
  ratio("UDP CPU/antwoord Horavex / referentie (doel <= 1.0)", "Horavex UDP", "referentie UDP", true);
  ratio("UDP antwoorden/s Horavex / referentie (doel >= 0.7)", "Horavex UDP", "referentie UDP", false);
  ratio("TCP CPU/antwoord Horavex / referentie (doel <= 1.3)", "Horavex TCP", "referentie TCP", true);
  ratio("TCP CPU/antwoord Horavex / xinetd", "Horavex TCP", "xinetd TCP", true);
  ratio("TCP antwoorden/s Horavex / referentie", "Horavex TCP", "referentie TCP", false);
  return ratios;
}

void PrintSpread(const std::vector<std::map<std::string, double>>& rounds) {
  std::map<std::string, std::vector<double>> byKey;
  for (const auto& round : rounds)
    for (const auto& [key, value] : round) byKey[key].push_back(value);
  std::printf("\nVerhoudingen%s:\n", rounds.size() > 1 ? " (mediaan, kleinste - grootste)" : "");
  for (auto& [key, values] : byKey) {
    std::sort(values.begin(), values.end());
    std::printf("  %-52s %5.2f", key.c_str(), values[values.size() / 2]);
    if (values.size() > 1) std::printf("  (%.2f - %.2f)", values.front(), values.back());
    std::printf("\n");
  }
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--seconds" && hasValue) options.limits.duration = std::chrono::seconds(std::atoi(argv[++i]));
    else if (arg == "--inflight" && hasValue) options.limits.inFlight = std::clamp(std::atoi(argv[++i]), 1, 1024);
    else if (arg == "--max-requests" && hasValue) options.limits.maxRequests = std::strtoull(argv[++i], nullptr, 10);
    else if (arg == "--rounds" && hasValue) options.rounds = std::clamp(std::atoi(argv[++i]), 1, 20);
    else if (arg == "--no-xinetd") options.xinetd = false;
    else if (arg == "--all-addresses") options.allAddresses = true;
    else if (arg == "--only" && hasValue) options.only = argv[++i];
    else return false;
  }
  options.limits.duration = std::clamp(options.limits.duration, std::chrono::milliseconds{100},
                                       std::chrono::milliseconds{120000});
  return true;
}

}  // namespace
}  // namespace horavex::bench

int main(int argc, char** argv) {
  using namespace horavex::bench;
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "gebruik: server_load [--seconds N] [--inflight K] [--max-requests M] [--rounds R] [--no-xinetd]"
                 " [--only TEKST] [--all-addresses]\n");
    return 2;
  }
  std::printf("Belasting op 127.0.0.1: %lld s per server, %d verzoeken tegelijk, hooguit %llu per server%s\n",
              static_cast<long long>(options.limits.duration.count() / 1000), options.limits.inFlight,
              static_cast<unsigned long long>(options.limits.maxRequests),
              options.allAddresses ? "; Horavex luistert op alle adressen" : "");
  std::vector<std::map<std::string, double>> ratios;
  for (int round = 1; round <= options.rounds; ++round) {
    std::printf("\nRonde %d\n", round);
    const auto rows = RunRound(options);
    PrintRows(rows);
    ratios.push_back(Ratios(rows));
  }
  PrintSpread(ratios);
  return 0;
}
