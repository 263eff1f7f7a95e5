// The real client window under Xvfb, its logic on the window thread with a simulated clock and a
// fake dial-up port, asking scripted servers on loopback.
#include <fstream>

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/tglbtn.h>

#include "client/window/client_dialog.h"
#include "client/window/client_info_dialog.h"
#include "common/dialup.h"
#include "common/profile.h"
#include "gui/event_pump.h"
#include "gui/gui_runtime.h"
#include "gui/help.h"
#include "platform/simulated_clock.h"
#include "support/fake_dialup_port.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

namespace horavex {
namespace {

using namespace std::chrono_literals;
using testing::Script;
using testing::Transport;

constexpr UnixMillis kStart = 1'767'225'600'000;  // 2026-01-01 00:00:00 UTC

class ClientWindowTest : public ::testing::Test {
 protected:
  void Open(ClientKind kind, std::uint16_t port, int startUp) {
    std::ofstream(dir_.File("horavex.ini")) << "[" << InfoOf(kind).section << "]\nServer=127.0.0.1\nPort=" << port
                                            << "\nWarnLevel=4\nStartUp=" << startUp << "\n";
    window_ = new CTimeClientDlg(kind, {executors_, profile_, clock_, dialup_});
    ASSERT_TRUE(window_->Create(nullptr));
  }
  void TearDown() override { InstallHelpLauncher(nullptr), delete window_; }
  template <class T> T* Control(const char* name) { return dynamic_cast<T*>(window_->FindWindow(name)); }
  wxString Value(const char* name) {
    if (auto* edit = Control<wxTextCtrl>(name)) return edit->GetValue();
    return Control<wxStaticText>(name)->GetLabel();
  }
  void Click(wxWindow* control, wxEventType type = wxEVT_BUTTON) {
    wxCommandEvent event(type, control->GetId());
    event.SetEventObject(control);
    control->ProcessWindowEvent(event);
  }
  bool WaitForStatus(const char* status) { return RunEventsUntil([&] { return Value("IDC_STATUS") == status; }, 5s); }
  // The text of the information window the Info button opens; closes it again.
  std::string InfoShown() {
    Click(Control<wxButton>("IDC_INFO"));
    for (wxWindow* child : window_->GetChildren())
      if (auto* info = dynamic_cast<CClientInfoDlg*>(child)) {
        EXPECT_FALSE(window_->IsEnabled());  // modal to its client window
        const std::string text = info->GetText().utf8_string();
        info->Close();
        return text;
      }
    return "no window";
  }

  testing::TempDir dir_;
  Profile profile_{dir_.File("horavex.ini")};
  ManualTimeSource time_{kStart};
  SimulatedClock clock_{time_.Source()};
  GuiRuntime runtime_;
  Executors executors_ = runtime_.GetExecutors();
  DialupService dialup_{std::make_unique<testing::FakeDialupPort>(), executors_.logic};
  CTimeClientDlg* window_ = nullptr;
};

TEST_F(ClientWindowTest, SaveFollowsChangesAndEnabledRunsWithoutRequestOrSave) {
  testing::ScriptedServer server(Script::Answer(Transport::Tcp, testing::TimeAnswer(kStart / 1000)));
  Open(ClientKind::TimeTcp, server.Port(), 0);
  auto* save = Control<wxButton>("wxID_OK");
  EXPECT_FALSE(save->IsEnabled());  // filling the controls is no change
  EXPECT_EQ(Value("IDC_STATUS"), "Wacht op starten client");
  auto* enabled = Control<wxToggleButton>("IDC_ENABLED");
  enabled->SetValue(true);
  Click(enabled, wxEVT_TOGGLEBUTTON);
  EXPECT_TRUE(save->IsEnabled());
  EXPECT_TRUE(window_->Client().IsRunning());
  EXPECT_EQ(Value("IDC_STATUS"), "Client gestart");
  EXPECT_EQ(profile_.GetInt("TIME CLIENT TCP", "StartUp", -1), 0);
  RunEventsUntil([] { return false; }, 200ms);
  EXPECT_EQ(server.RequestCount(), 0u);
  Click(save);
  EXPECT_FALSE(save->IsEnabled());
  EXPECT_EQ(profile_.GetInt("TIME CLIENT TCP", "StartUp", -1), 1);
  Control<wxTextCtrl>("IDC_SERVER")->AppendText("x");
  EXPECT_TRUE(save->IsEnabled());
}

struct RequestCase {
  const char* name;
  ClientKind kind;
  Script script;  // answering late enough that the request is seen waiting, however loaded the machine
  int startUp;  // 1: the request made as the window is created; 0: the Synchro button's
  const char* info;
};

void PrintTo(const RequestCase& row, std::ostream* out) { *out << row.name; }

class ClientRequestTest : public ClientWindowTest, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(ClientRequestTest, ARequestFillsTheTimesMessagesStatusAndInformation) {
  const RequestCase& row = GetParam();
  testing::ScriptedServer server(row.script);
  Open(row.kind, server.Port(), row.startUp);
  EXPECT_EQ(Value("IDC_LAST_SYNC"), "");
  if (row.startUp == 0) Click(Control<wxButton>("IDC_SYNCHRO"));
  auto* synchro = Control<wxButton>("IDC_SYNCHRO");
  EXPECT_TRUE(RunEventsUntil([&] { return !synchro->IsEnabled(); }, 5s));  // while the request waits
  ASSERT_TRUE(WaitForStatus("Aanvraag gereed"));
  EXPECT_EQ(server.RequestCount(), 1u);
  EXPECT_TRUE(synchro->IsEnabled());
  EXPECT_NE(Value("IDC_LAST_ATTEMPT"), "");
  EXPECT_EQ(Value("IDC_LAST_SYNC"), Value("IDC_LAST_ATTEMPT"));
  EXPECT_EQ(Value("IDC_MESSAGES"), "Oke\nTijd is ingesteld...");
  EXPECT_NE(InfoShown().find(row.info), std::string::npos);
  EXPECT_TRUE(window_->IsEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ClientRequestTest,
    ::testing::Values(
        RequestCase{"TimeTcp", ClientKind::TimeTcp, {Transport::Tcp, {testing::TimeAnswer(kStart / 1000)}, 300ms}, 1,
                    "Type client: Time via TCP\nDUMP:\nED 00 37 80 \nBerekening: 3976214400 - 2208988800=1767225600"},
        RequestCase{"SntpUdp", ClientKind::SntpUdp, {Transport::Udp, {testing::SntpAnswer(kStart / 1000, 0)}, 300ms}, 0,
                    "Mode (-----XXX)(4): server\nStratum : 2 "}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(ClientWindowTest, AFailureWarnsModallyAndASecondRequestIsRefusedMeanwhile) {
  Open(ClientKind::TimeTcp, testing::FreePort(), 0);
  Click(Control<wxButton>("IDC_SYNCHRO"));
  ASSERT_TRUE(RunEventsUntil([&] { return window_->WarningBox() != nullptr; }, 5s));
  EXPECT_FALSE(window_->IsEnabled());
  EXPECT_NE(Value("IDC_MESSAGES").Find("Melding: 1 ERROR: 111"), wxNOT_FOUND);
  window_->Client().DoSynchro();  // the interval's tick, say
  EXPECT_EQ(Value("IDC_STATUS"), "Aanvraag loopt reeds");
  Click(window_->WarningBox()->FindWindow(wxID_OK));
  ASSERT_TRUE(WaitForStatus("Aanvraag gereed"));
  EXPECT_TRUE(window_->IsEnabled());
  EXPECT_EQ(window_->WarningBox(), nullptr);
  EXPECT_EQ(InfoShown(), "Geen informatie aanwezig");  // nothing was received
}

TEST_F(ClientWindowTest, HelpOpenedFromTheInformationWindowOutlivesIt) {
  std::ofstream(dir_.File("book.hhp")) << "[OPTIONS]\nTitle=Horavex\n\n[FILES]\nclient.html\nclientinfo.html\n";
  for (const char* page : {"client.html", "clientinfo.html"}) std::ofstream(dir_.File(page)) << "<html><body>Info</body></html>";
  InstallHelpLauncher(std::make_unique<HelpLauncher>(HtmlHelpViewerMaker(dir_.File("book.hhp"))));
  Open(ClientKind::TimeTcp, 1, 0);
  auto* info = ShowClientInfo(window_, profile_, ClientKind::TimeTcp, window_->Client().Answer());
  EXPECT_EQ(reinterpret_cast<wxWindow*>(ShowHelpTopic(info, kClientInfoHelpTopic, 0, 0))->GetParent(), info);
  info->Close();
  RunEventsUntil([] { return false; }, 100ms);  // the window goes, and its help window with it
  EXPECT_NE(ShowHelpTopic(window_, kClientHelpTopic, 0, 0), 0);
}

}  // namespace
}  // namespace horavex
