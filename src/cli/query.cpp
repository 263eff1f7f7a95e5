#include "cli/query.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>

#include <csignal>

#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>

#include "client/time_connection.h"
#include "common/dialup.h"
#include "common/language.h"
#include "common/profile.h"
#include "platform/clock.h"
#include "platform/dialup_port.h"
#include "platform/simulated_clock.h"
#include "protocol/answer_dump.h"

namespace horavex {
namespace {

constexpr std::pair<const char*, ClientKind> kKindNames[] = {
    {"time-tcp", ClientKind::TimeTcp},       {"time-udp", ClientKind::TimeUdp}, {"daytime-tcp", ClientKind::DaytimeTcp},
    {"daytime-udp", ClientKind::DaytimeUdp}, {"sntp", ClientKind::SntpUdp},
};

std::optional<std::chrono::milliseconds> ParseSeconds(const std::string& text) {
  double seconds = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (ec != std::errc() || end != text.data() + text.size() || !(seconds > 0) || seconds > 600) return std::nullopt;
  return std::chrono::milliseconds(static_cast<long long>(std::ceil(seconds * 1000)));
}

std::optional<unsigned> ParsePort(const std::string& text) {
  unsigned port = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (ec != std::errc() || end != text.data() + text.size() || port == 0 || port > 65535) return std::nullopt;
  return port;
}

ParsedQuery Fail(std::string message) { return {std::nullopt, std::move(message) + "\n" + QueryUsage()}; }

}  // namespace

std::string QueryUsage() {
  return Tr("Gebruik: horavex-query [--timeout SECONDEN] [--set [--dry-run]] [--profile PAD] SOORT SERVER [POORT]\n"
         "  SOORT: time-tcp, time-udp, daytime-tcp, daytime-udp of sntp\n"
         "  POORT: standaard 37 (time), 13 (daytime) of 123 (sntp)\n"
         "  --timeout   hoe lang het verzoek op het netwerk wacht, hoogstens 600 (standaard 5)\n"
         "  --set       zet de klok, met dezelfde controles als de client (maximale correctie)\n"
         "  --dry-run   met --set: laat zien wat gezet zou worden, zet niets\n"
         "  --profile   het profiel met de instellingen van de client (standaard dat van Horavex)\n"
         "  --help      toont deze tekst\n"
         "Afsluitstatus: 0 een geldig antwoord (met --set: en de klok gezet), 1 geen of een\n"
         "  ongeldig antwoord of de klok niet gezet, 2 verkeerde argumenten, 130 of 143\n"
         "  afgebroken (Ctrl-C, SIGTERM).\n");
}

std::optional<ClientKind> KindFromName(const std::string& name) {
  for (const auto& [text, kind] : kKindNames)
    if (name == text) return kind;
  return std::nullopt;
}

ParsedQuery ParseQueryArgs(const std::vector<std::string>& args) {
  QueryOptions o;
  o.timeout = kRequestTimeout;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--help" || a == "-h") return {std::nullopt, QueryUsage()};
    if (a == "--set") {
      o.set = true;
    } else if (a == "--dry-run") {
      o.dryRun = true;
    } else if (a == "--timeout" && hasValue) {
      const auto t = ParseSeconds(args[++i]);
      if (!t) return Fail(Tr("Ongeldige wachttijd: ") + args[i]);
      o.timeout = *t;
    } else if (a == "--profile" && hasValue) {
      o.profile = args[++i];
    } else if (a.starts_with("-")) {
      return Fail(Tr("Onbekende optie: ") + a);
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() < 2 || positional.size() > 3) return Fail(Tr("Geef SOORT en SERVER op."));
  const auto kind = KindFromName(positional[0]);
  if (!kind) return Fail(Tr("Onbekende soort: ") + positional[0]);
  if (positional[1].empty()) return Fail(Tr("Geef een server op."));
  o.kind = *kind;
  o.server = positional[1];
  o.port = InfoOf(o.kind).defaultPort;
  if (positional.size() == 3) {
    const auto port = ParsePort(positional[2]);
    if (!port) return Fail(Tr("Ongeldige poort: ") + positional[2]);
    o.port = *port;
  }
  if (o.dryRun && !o.set) return Fail(Tr("--dry-run hoort bij --set."));
  return {o, {}};
}

std::string PlainLines(std::string text) {
  for (std::size_t pos; (pos = text.find("\r\n")) != std::string::npos;) text.erase(pos, 1);
  return text;
}

std::string IsoUtc(const std::tm& utc, int milliseconds) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, milliseconds < 0 ? 0 : milliseconds);
  return buf;
}

std::string FormatAnswerReport(ClientKind kind, const AnswerArea& answer, const std::optional<SntpTimes>& times,
                               const RequestOutcome& outcome, bool clockWasSet) {
  std::string out = PlainLines(InfoText(kind, answer, times ? &*times : nullptr));
  out += out.ends_with('\n') ? "\n" : "\n\n";
  if (!outcome.utc) return out;
  const std::tm& utc = *outcome.utc;
  char line[128];
  std::snprintf(line, sizeof line, Tr("Tijd (UTC): %04d-%02d-%02d %02d:%02d:%02d"), utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
  out += line;
  if (outcome.milliseconds >= 0) std::snprintf(line, sizeof line, ".%03d\n", outcome.milliseconds);
  out += outcome.milliseconds >= 0 ? line : "\n";
  if (outcome.measured) {
    const double seconds = std::chrono::duration<double>(*outcome.measured).count();
    // The answer has a fraction: to the millisecond; else whole seconds, as measured.
    if (outcome.milliseconds >= 0) std::snprintf(line, sizeof line, Tr("Verschil met lokale klok: %+.3f s\n"), seconds);
    else std::snprintf(line, sizeof line, Tr("Verschil met lokale klok: %+.0f s\n"), seconds);
    out += line;
  }
  if (clockWasSet) out += outcome.clockSetBy.empty() ? Tr("Klok ingesteld.\n") : Tr("Klok ingesteld via ") + outcome.clockSetBy + ".\n";
  return out + IsoUtc(utc, outcome.milliseconds) + "\n";
}

namespace {

// What an interrupted run says of a set it leaves behind.
std::string InterruptedText(SetStage stage) {
  switch (stage) {
    case SetStage::kQueued:
    case SetStage::kAuthorising:
      return Tr("Afgebroken: de klok is niet ingesteld.\n");
    case SetStage::kSent:
      return std::string(Tr("Afgebroken terwijl de klok werd ingesteld: het systeem kan de correctie nog toepassen.\n")) +
             Tr("Een volgende aanvraag corrigeert wat er dan nog afwijkt.\n");
    default:
      return Tr("Afgebroken.\n");
  }
}

// Runs the client's request; SIGINT or SIGTERM end it, and the signal's number is returned.
int RunRequest(asio::io_context& io, std::unique_ptr<TimeClient>& client, Clock& clock, bool setsClock) {
  int interrupted = 0;
  asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([&](std::error_code ec, int signal) {
    if (ec) return;
    interrupted = signal;
    std::cerr << (setsClock ? InterruptedText(clock.CurrentStage()) : Tr("Afgebroken.\n"));
    io.stop();
  });
  client->SetFinishedObserver([&io] { io.stop(); });
  client->DoSynchro();
  io.run();
  signals.cancel();
  if (interrupted == 0) return 0;
  // The request unwinds (a set that has not begun never will) before the clock and the services go.
  client.reset();
  io.restart();
  for (const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(1);
       TimeClient::RunningRequests() > 0 && std::chrono::steady_clock::now() < limit;)
    io.run_one_for(std::chrono::milliseconds(20));
  return interrupted;
}

}  // namespace

int RunQuery(const QueryOptions& options) {
  asio::io_context io;
  Profile profile(options.profile.value_or(Profile::DefaultPath("horavex")));
  if (const std::string problem = profile.ReadProblem(); !problem.empty()) std::cerr << problem << "\n";
  // Without --set, or in a dry run, the request sets a simulated clock only.
  const bool simulated = !options.set || options.dryRun;
  std::unique_ptr<Clock> clock = simulated ? std::make_unique<SimulatedClock>() : MakeSystemClock();
  DialupService dialup(MakeConnectedDialupPort(), io.get_executor());
  NullClientView view;
  auto client = std::make_unique<TimeClient>(
      options.kind, ClientServices{{io.get_executor(), io.get_executor()}, profile, *clock, dialup, simulated}, view);
  ClientSettings& settings = client->Settings();
  settings.m_server = options.server;
  settings.m_port = options.port;
  settings.m_warnLevel = 0;
  if (!options.set) settings.m_maxOffsetIndex = 0;  // nothing is set, so nothing is too far
  client->SetTimeout(options.timeout);
  if (const int signal = RunRequest(io, client, *clock, !simulated)) return 128 + signal;

  const RequestOutcome& outcome = client->LastOutcome();
  if (options.dryRun && outcome.wouldSet) {
    const auto target = std::chrono::floor<std::chrono::milliseconds>(outcome.wouldSet->target);
    const auto seconds = std::chrono::floor<std::chrono::seconds>(target);
    std::cerr << Tr("Droogoefening: de klok zou gezet worden op ")
              << IsoUtc(*UtcBreakdown(static_cast<std::int32_t>(seconds.count())),
                        static_cast<int>((target - seconds).count()))
              << Tr(", correctie ")
              << CorrectionText(std::chrono::round<std::chrono::microseconds>(outcome.wouldSet->correction)) << "\n";
  }
  if (outcome.received && HasAnswer(client->Answer())) {
    const bool clockWasSet = options.set && !options.dryRun && outcome.clockSet;
    std::cout << FormatAnswerReport(options.kind, client->Answer(), client->AnswerTimes(), outcome, clockWasSet);
  }
  if (!outcome.failure.empty()) {
    std::cerr << PlainLines(outcome.failure) << " [ERROR: " << outcome.number << "]\n";
    return 1;
  }
  return 0;
}

}  // namespace horavex
