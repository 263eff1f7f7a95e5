#include "server/time_server.h"

#include <cerrno>
#include <cstdio>

namespace horavex {
namespace {

NullServerView g_noView;

}  // namespace

TimeServer::TimeServer(ServerKind kind, ServerServices services, ServerView& view,
                       std::optional<asio::ip::address> bindAddress)
    : m_nKind(kind),
      profile_(services.profile),
      executors_(std::move(services.executors)),
      clock_(services.clock),
      view_(&view),
      bindAddress_(std::move(bindAddress)),
      alive_(std::make_shared<TimeServer*>(this)) {
  const ServerSettings saved = ServerSettings::Load(profile_, kind);
  m_nPort = saved.m_nPort;
  m_bStartUp = saved.m_bStartUp;
}

TimeServer::~TimeServer() {
  if (m_pSocket) m_pSocket->Close();
}

void TimeServer::StartIfEnabled() {
  if (m_bStartUp) StartServer();
  ShowRequestText();
}

void TimeServer::SetView(ServerView* view) {
  view_ = view ? view : &g_noView;
  requestText_.reset();
  ShowRequestText();
}

void TimeServer::StartServer() {
  if (m_bRunning) return;
  if (m_nPort == 0 || m_nPort > 65535) {
    // Never bind some other port than the one the user typed; port 0 would let the system choose
    // one that no client knows, while the server reports itself running.
    ReportError(kCreateFailedText, EINVAL);
    startFailed_ = true;
    ShowRequestText();
    return;
  }
  TimeServerSocket::OpenErrors errors;
  m_pSocket = TimeServerSocket::Open(m_nKind, executors_, clock_, bindAddress_, static_cast<std::uint16_t>(m_nPort),
                                     MakeReports(), errors);
  if (!m_pSocket) {
    ReportError(kCreateFailedText, errors.create.value());
    startFailed_ = true;
    ShowRequestText();
    return;
  }
  startFailed_ = false;
  // A socket that does not listen still counts as running, with a count of 0, until it is stopped.
  if (errors.listen) ReportError(kListenFailedText, errors.listen.value());
  m_pSocket->Start();
  requestsShown_ = 0;
  m_bRunning = true;
  ShowRequestText();
}

void TimeServer::StopServer() {
  if (!m_bRunning) return;
  m_pSocket->Close();
  m_pSocket.reset();
  m_bRunning = false;
  ShowRequestText();
}

void TimeServer::Save(std::function<void(int error)> done) {
  const auto finished = [this, done = std::move(done)](int error, bool wasSlow) {
    // Unlike the profile functions it stands for, a failed write is not passed over: the user
    // would find the old settings at the next start without knowing why.
    if (error != 0) ReportError(kSaveFailedText, error);
    else if (wasSlow) view_->ShowError(std::string(kSavedText));
    StopServer();
    if (m_bStartUp) StartServer();
    if (done) done(error);
  };
  saver_.Save(InfoOf(m_nKind).section, ServerSettings{m_nPort, m_bStartUp},
              {[this] { view_->ShowError(std::string(kSavingText)); }, finished});
}

void TimeServer::SetEnabled(bool enabled) {
  m_bStartUp = enabled;
  if (enabled) StartServer();
  else StopServer();
  ShowRequestText();
}

void TimeServer::ReportError(std::string_view text, int errorCode) {
  ++m_nMessageCount;
  char head[64];
  std::snprintf(head, sizeof head, "Melding: %d ERROR: %d\r\n", m_nMessageCount, errorCode);
  view_->ShowError(head + std::string(text));
}

std::string TimeServer::GetStatusText() const {
  if (!m_bRunning || !m_pSocket) return std::string(m_bStartUp && startFailed_ ? kStartFailedText : kDisabledText);
  return std::to_string(requestsShown_);
}

TimeServerSocket::Reports TimeServer::MakeReports() {
  const std::uint64_t generation = ++generation_;
  std::weak_ptr<TimeServer*> alive = alive_;
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
  if (generation != generation_ || !m_bRunning) return;
  requestsShown_ = requests;
  view_->ShowRequestLog(log);
  ShowRequestText();
}

void TimeServer::OnAcceptFailed(std::uint64_t generation, int errorCode) {
  if (generation != generation_ || !m_bRunning) return;
  ReportError(kAcceptFailedText, errorCode);
}

void TimeServer::ShowRequestText() {
  std::string text = GetStatusText();
  if (requestText_ == text) return;
  view_->SetRequestText(text);
  requestText_ = std::move(text);
}

}  // namespace horavex
