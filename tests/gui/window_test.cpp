// The real client and server windows under Xvfb, their logic on the window thread with a simulated
// clock and a fake dial-up port, their sockets on the network thread, on loopback only.
#include <fstream>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/spinctrl.h>
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
#include "gui/window_modal.h"
#include "platform/simulated_clock.h"
#include "server/window/server_dialog.h"
#include "support/fake_dialup_port.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

namespace horavex::testing {
namespace {

using namespace std::chrono_literals;

constexpr UnixMillis kStart = 1'767'225'600'000;  // 2026-01-01 00:00:00 UTC

class WindowTest : public ::testing::Test {
 protected:
  void OpenClient(ClientKind kind, std::uint16_t port, int startUp) {
    std::ofstream(dir_.File("horavex.ini")) << "[" << InfoOf(kind).section << "]\nServer=127.0.0.1\nPort=" << port
                                            << "\nWarnLevel=4\nStartUp=" << startUp << "\n";
    window_ = client_ = new CTimeClientDlg(kind, {executors_, profile_, clock_, dialup_});
    ASSERT_TRUE(client_->Create(nullptr));
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
  void Toggle(bool on) {
    Control<wxToggleButton>("IDC_ENABLED")->SetValue(on);
    Click(Control<wxToggleButton>("IDC_ENABLED"), wxEVT_TOGGLEBUTTON);
  }
  bool WaitForStatus(const char* status) { return RunEventsUntil([&] { return Value("IDC_STATUS") == status; }, 5s); }
  // The text of the information window the Info button opens, modal to its client window; closes it.
  std::string InfoShown() {
    Click(Control<wxButton>("IDC_INFO"));
    for (wxWindow* child : window_->GetChildren())
      if (auto* info = dynamic_cast<CClientInfoDlg*>(child)) {
        EXPECT_FALSE(window_->IsEnabled());
        const std::string text = info->GetText().utf8_string();
        info->Close();
        return text;
      }
    return "no window";
  }

  TempDir dir_;
  Profile profile_{dir_.File("horavex.ini")};
  ManualTimeSource time_{kStart};
  SimulatedClock clock_{time_.Source()};
  GuiRuntime runtime_;
  Executors executors_ = runtime_.GetExecutors();
  DialupService dialup_{std::make_unique<FakeDialupPort>(), executors_.logic};
  wxWindow* window_ = nullptr;
  CTimeClientDlg* client_ = nullptr;
};

TEST_F(WindowTest, ClientSaveFollowsChangesAndEnabledRunsWithoutSave) {
  OpenClient(ClientKind::TimeTcp, 1, 0);
  auto* save = Control<wxButton>("wxID_OK");
  EXPECT_FALSE(save->IsEnabled());  // filling the controls is no change
  Toggle(true);
  EXPECT_TRUE(save->IsEnabled() && client_->Client().IsRunning());
  EXPECT_EQ(profile_.GetInt("TIME CLIENT TCP", "StartUp", -1), 0);
  Click(save);
  EXPECT_FALSE(save->IsEnabled());
  EXPECT_EQ(profile_.GetInt("TIME CLIENT TCP", "StartUp", -1), 1);
}

// Answering late enough that the request is seen waiting, however loaded the machine. StartUp 1:
// the request made as the window is created; 0: the Synchro button's.
TEST_F(WindowTest, ARequestFillsTheTimesMessagesStatusAndInformation) {
  const std::tuple<ClientKind, Script, int, const char*> rows[] = {
      {ClientKind::TimeTcp, {Transport::Tcp, {TimeAnswer(kStart / 1000)}, 300ms}, 1,
       "Type client: Time via TCP\nDUMP:\nED 00 37 80 \nBerekening: 3976214400 - 2208988800=1767225600"},
      {ClientKind::SntpUdp, {Transport::Udp, {SntpAnswer(kStart / 1000, 0)}, 300ms}, 0, "Mode (-----XXX)(4): server\nStratum : 2 "}};
  for (const auto& [kind, script, startUp, info] : rows) {
    ScriptedServer server(script);
    OpenClient(kind, server.Port(), startUp);
    auto* synchro = Control<wxButton>("IDC_SYNCHRO");
    if (startUp == 0) Click(synchro);
    EXPECT_TRUE(RunEventsUntil([&] { return !synchro->IsEnabled(); }, 5s));  // while the request waits
    ASSERT_TRUE(WaitForStatus("Aanvraag gereed"));
    EXPECT_TRUE(synchro->IsEnabled() && server.RequestCount() == 1);
    EXPECT_EQ(Value("IDC_LAST_SYNC"), Value("IDC_LAST_ATTEMPT"));
    EXPECT_NE(Value("IDC_LAST_SYNC"), "");
    EXPECT_EQ(Value("IDC_MESSAGES"), "Oke\nTijd is ingesteld...");
    EXPECT_NE(InfoShown().find(info), std::string::npos) << info;
    delete std::exchange(window_, nullptr);
  }
}

// Two boxes over one window: the information window, and the warning of a request that failed
// meanwhile. The window comes back only with the last, and its keyboard with it: to the control
// that had it or, when that cannot take it any more, to the first that can.
TEST_F(WindowTest, WindowModalBoxesAreCountedAndGiveTheKeyboardBack) {
  OpenClient(ClientKind::TimeTcp, FreePort(), 0);
  window_->Show();
  auto* synchro = Control<wxButton>("IDC_SYNCHRO");
  synchro->SetFocus();
  auto* info = ShowClientInfo(window_, profile_, ClientKind::TimeTcp, client_->Client().Answer());
  Click(synchro);
  ASSERT_TRUE(RunEventsUntil([&] { return client_->WarningBox() != nullptr; }, 5s));
  EXPECT_EQ(OpenWindowModalCount(*window_), 2);
  info->Close();
  EXPECT_FALSE(window_->IsEnabled());
  Click(client_->WarningBox()->FindWindow(wxID_OK));
  EXPECT_TRUE(window_->IsEnabled() && OpenWindowModalCount(*window_) == 0);
  // Synchro is disabled while its request waits, and Bewaar, the default, is disabled too.
  EXPECT_EQ(wxWindow::FindFocus(), Control<wxTextCtrl>("IDC_SERVER"));
  ASSERT_TRUE(WaitForStatus("Aanvraag gereed"));  // the request waited for the warning

  synchro->SetFocus();
  ShowClientInfo(window_, profile_, ClientKind::TimeTcp, client_->Client().Answer())->Close();
  EXPECT_EQ(wxWindow::FindFocus(), synchro);
  // Bewaar disabling itself hands the keyboard on as well.
  auto* save = Control<wxButton>("wxID_OK");
  Toggle(true), save->SetFocus(), Click(save);
  EXPECT_EQ(wxWindow::FindFocus(), Control<wxTextCtrl>("IDC_SERVER"));
}

TEST_F(WindowTest, HelpOpenedFromTheInformationWindowOutlivesIt) {
  std::ofstream(dir_.File("book.hhp")) << "[OPTIONS]\nTitle=Horavex\n\n[FILES]\nclient.html\nclientinfo.html\n";
  for (const char* page : {"client.html", "clientinfo.html"}) std::ofstream(dir_.File(page)) << "<html><body>Info</body></html>";
  InstallHelpLauncher(std::make_unique<HelpLauncher>(HtmlHelpViewerMaker(dir_.File("book.hhp"))));
  OpenClient(ClientKind::TimeTcp, 1, 0);
  auto* info = ShowClientInfo(window_, profile_, ClientKind::TimeTcp, client_->Client().Answer());
  EXPECT_EQ(reinterpret_cast<wxWindow*>(ShowHelpTopic(info, kClientInfoHelpTopic, 0, 0))->GetParent(), info);
  info->Close();
  RunEventsUntil([] { return false; }, 100ms);  // the window goes, and its help window with it
  EXPECT_NE(ShowHelpTopic(window_, kClientHelpTopic, 0, 0), 0);
}

// The server window started by its profile answers from the simulated clock and shows the request;
// switching it off stops it unsaved, and Save writes it and is disabled again.
TEST_F(WindowTest, ServerWindowAnswersAndEnabledRunsUnsavedUntilSave) {
  const std::uint16_t port = FreePort();
  std::ofstream(dir_.File("horavex.ini")) << "[TIME SERVER TCP]\nPort=" << port << "\nStartUp=1\n";
  auto* window = new CTimeServerDlg(ServerKind::TimeTcp, {executors_, profile_, clock_}, asio::ip::address_v4::loopback());
  window_ = window;
  ASSERT_TRUE(window->Create(nullptr));
  EXPECT_EQ(Peer(Peer::Type::Tcp, port).Receive(2s, 1), std::vector<Bytes>{TimeAnswer(kStart / 1000)});
  EXPECT_TRUE(RunEventsUntil([&] { return Value("IDC_REQUESTS") == "1"; }, 3s));
  EXPECT_NE(Value("IDC_MESSAGES").Find("127.0.0.1"), wxNOT_FOUND);
  auto* save = Control<wxButton>("wxID_OK");
  EXPECT_FALSE(save->IsEnabled());  // although filling the port reported a change
  Toggle(false);
  EXPECT_TRUE(save->IsEnabled() && !window->Server().Running());
  EXPECT_EQ(profile_.GetInt("TIME SERVER TCP", "StartUp", -1), 1);
  Click(save);
  EXPECT_FALSE(save->IsEnabled());
  EXPECT_EQ(profile_.GetInt("TIME SERVER TCP", "StartUp", -1), 0);
  Click(Control<wxSpinCtrl>("IDC_PORT"), wxEVT_SPINCTRL);
  EXPECT_TRUE(save->IsEnabled());
}

}  // namespace
}  // namespace horavex::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();  // the build lists them without a screen
  wxApp::SetInstance(new wxApp());
  if (!wxEntryStart(argc, argv)) return 1;
  // A failed check of wx fails the test instead of opening a box nobody clicks.
  wxSetAssertHandler([](const wxString& file, int line, const wxString&, const wxString& cond, const wxString& msg) {
    ADD_FAILURE_AT(file.utf8_str(), line) << cond << " " << msg;
  });
  delete wxLog::SetActiveTarget(new wxLogStderr());  // a message box would wait for a click
  const int result = RUN_ALL_TESTS();
  wxEntryCleanup();
  return result;
}
