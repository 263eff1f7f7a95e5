#include "server/time_server.h"

#include <cerrno>
#include <cstdio>

namespace horavex {
namespace {

NullServerView g_noView;

}  // namespace

TimeServer::TimeServer(ServerKind kind, ServerServices services, ServerView& view,
                       std::optional<asio::ip::address> bindAddress)
    : m_kind(kind),
      m_profile(services.profile),
      m_executors(std::move(services.executors)),
      m_clock(services.clock),
      m_view(&view),
      m_bindAddress(std::move(bindAddress)),
      m_alive(std::make_shared<TimeServer*>(this)) {
  const ServerSettings saved = ServerSettings::Load(m_profile, kind);
  m_port = saved.m_port;
  m_startUp = saved.m_startUp;
}

TimeServer::~TimeServer() {
  if (m_socket) m_socket->Close();
}

void TimeServer::StartIfEnabled() {
  if (m_startUp) StartServer();
  ShowRequestText();
}

void TimeServer::SetView(ServerView* view) {
  m_view = view ? view : &g_noView;
  m_requestText.reset();
  ShowRequestText();
}

void TimeServer::StartServer() {
  if (m_running) return;
  if (m_port == 0 || m_port > 65535) {
    // Never bind some other port than the one the user typed; port 0 would let the system choose
    // one that no client knows, while the server reports itself running.
    ReportError(kCreateFailedText, EINVAL);
    m_startFailed = true;
    ShowRequestText();
    return;
  }
  TimeServerSocket::OpenErrors errors;
  m_socket = TimeServerSocket::Open(m_kind, m_executors, m_clock, m_bindAddress, static_cast<std::uint16_t>(m_port),
                                     MakeReports(), errors);
  if (!m_socket) {
    ReportError(kCreateFailedText, errors.create.value());
    m_startFailed = true;
    ShowRequestText();
    return;
  }
  m_startFailed = false;
  // A socket that does not listen still counts as running, with a count of 0, until it is stopped.
  if (errors.listen) ReportError(kListenFailedText, errors.listen.value());
  m_socket->Start();
  m_requestsShown = 0;
  m_running = true;
  ShowRequestText();
}

void TimeServer::StopServer() {
  if (!m_running) return;
  m_socket->Close();
  m_socket.reset();
  m_running = false;
  ShowRequestText();
}

void TimeServer::Save(std::function<void(int error)> done) {
  const auto finished = [this, done = std::move(done)](int error, bool wasSlow) {
    // Unlike the profile functions it stands for, a failed write is not passed over: the user
    // would find the old settings at the next start without knowing why.
    if (error != 0) ReportError(kSaveFailedText, error);
    else if (wasSlow) m_view->ShowError(Tr(kSavedText.data()));
    StopServer();
    if (m_startUp) StartServer();
    if (done) done(error);
  };
  m_saver.Save(InfoOf(m_kind).section, ServerSettings{m_port, m_startUp},
              {[this] { m_view->ShowError(Tr(kSavingText.data())); }, finished});
}

void TimeServer::SetEnabled(bool enabled) {
  m_startUp = enabled;
  if (enabled) StartServer();
  else StopServer();
  ShowRequestText();
}

void TimeServer::ReportError(std::string_view text, int errorCode) {
  ++m_messageCount;
  char head[64];
  std::snprintf(head, sizeof head, TrCrlf("Melding: %d ERROR: %d\n").c_str(), m_messageCount, errorCode);
  m_view->ShowError(head + std::string(Tr(std::string(text).c_str())));
}

std::string TimeServer::GetStatusText() const {
  if (!m_running || !m_socket) return std::string(m_startUp && m_startFailed ? kStartFailedText : kDisabledText);
  return std::to_string(m_requestsShown);
}

TimeServerSocket::Reports TimeServer::MakeReports() {
  const std::uint64_t generation = ++m_generation;
  std::weak_ptr<TimeServer*> alive = m_alive;
  return {
      [alive, generation](std::uint32_t requests, const std::string& log) {
        if (auto server = alive.lock()) (*server)->OnRequests(generation, requests, log);
      },
      [alive, generation](int errorCode) {
        if (auto server = alive.lock()) (*server)->OnAcceptFailed(generation, errorCode);
      },
  };
}

void TimeServer::OnRequests(std::uint64_t generation, std::uint32_t requests, const std::string& log) {
  if (generation != m_generation || !m_running) return;
  m_requestsShown = requests;
  m_view->ShowRequestLog(log);
  ShowRequestText();
}

void TimeServer::OnAcceptFailed(std::uint64_t generation, int errorCode) {
  if (generation != m_generation || !m_running) return;
  ReportError(kAcceptFailedText, errorCode);
}

void TimeServer::ShowRequestText() {
  std::string text = GetStatusText();
  if (m_requestText == text) return;
  m_view->SetRequestText(text);
  m_requestText = std::move(text);
}

}  // namespace horavex
