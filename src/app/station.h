// Station: what the program runs, as logic: the four servers and five clients, who last
// synchronised the clock, the dashboard over them and the quarter-hour chimes. The main window
// and horavexd each hold one and only show what it tells them. Windows and printers attach to its
// servers and clients as views, and detach before they go; the servers and clients themselves
// live exactly as long as the station (horavexd's reload replaces a client by releasing it).
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <asio/ip/address.hpp>

#include "app/chimes.h"
#include "app/dashboard.h"
#include "client/time_client.h"
#include "server/time_server.h"

namespace horavex {

class SoundPlayer;

class Station {
 public:
  // The order in which the servers are made and read their settings (TimeUdp, TimeTcp,
  // DaytimeUdp, DaytimeTcp); they start in kServerKinds order.
  static constexpr std::array<ServerKind, kServerKindCount> kServerMakeOrder{
      ServerKind::TimeUdp, ServerKind::TimeTcp, ServerKind::DaytimeUdp, ServerKind::DaytimeTcp};

  // Makes the servers, then the clients, from the profile; nothing starts yet (Start). The
  // services outlive the station; without `sounds` nothing chimes. Servers listen on
  // `bindAddress` only when one is given.
  Station(const ClientServices& services, SoundPlayer* sounds,
          std::optional<asio::ip::address> bindAddress = std::nullopt);
  // As Stop.
  ~Station();
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;

  // Starts what the profile enables: the servers in kServerKinds order, then the clients in
  // kClientKinds order, each enabled client with one request at once.
  void Start();
  // Whether any server or client runs.
  bool AnyRunning() const;
  // The end: releases the clients (a running request unwinds in the background, touching nothing;
  // see TimeClient::RunningRequests), then stops the servers. Tick gives nothing afterwards, and
  // Server and Client may no longer be asked.
  void Stop();

  Profile& GetProfile() { return m_services.profile; }
  TimeServer& Server(ServerKind kind) { return *m_servers[Index(kind)]; }
  TimeClient& Client(ClientKind kind) { return *m_clients[Index(kind)]; }
  // Shows a server or client through `view` from now on, also after a reload replaced it; null
  // detaches. A view detaches before it goes.
  void AttachServerView(ServerKind kind, ServerView* view);
  void AttachClientView(ClientKind kind, ClientView* view);

  // The refresh: the dashboard's texts that changed since the previous tick (servers, clients,
  // time, date, by whom, when); a new time text at a quarter plays that quarter's chime.
  std::vector<DashboardChange> Tick();
  // Which client last synchronised the clock, and when.
  const LastSyncTexts& LastSync() const { return m_dashboard.LastSync(); }
  // Both texts in one line: "SNTP 12:14:59", "... Nog Niet" before any.
  std::string LastSyncText() const;
  // A request now of every running client ("Synchro" of each).
  void SynchroAll();

  // Why the profile as it is now must not replace what runs: unreadable, gone, or naming no key
  // of any server or client; "" when it may.
  std::string ReloadProblem();
  // Reads the profile again and restarts each server and client whose settings changed. All
  // changed servers stop before any starts, so that two may swap ports; a server that should run
  // but does not gets another try; a changed client is released and replaced.
  void Reload();

 private:
  template <class Kind> static std::size_t Index(Kind kind) { return static_cast<std::size_t>(kind); }
  // (Re)makes the client of `kind` from the profile, with its view and its last-sync observer.
  void MakeClient(ClientKind kind);
  void ReloadServers();

  ClientServices m_services;
  std::optional<asio::ip::address> m_bindAddress;
  NullServerView m_noServerView;
  NullClientView m_noClientView;
  std::array<ServerView*, kServerKindCount> m_serverViews{};
  std::array<ClientView*, kClientKindCount> m_clientViews{};
  std::array<std::unique_ptr<TimeServer>, kServerKindCount> m_servers;
  std::array<std::unique_ptr<TimeClient>, kClientKindCount> m_clients;
  DashboardModel m_dashboard;
  std::optional<Chimes> m_chimes;
  bool m_stopped = false;
};

}  // namespace horavex
