// The real server window under Xvfb, its logic on the window thread and its socket on the
// network thread, answering from a simulated clock on loopback.
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

#include "common/profile.h"
#include "gui/event_pump.h"
#include "gui/gui_runtime.h"
#include "gui/help.h"
#include "platform/simulated_clock.h"
#include "server/window/server_dialog.h"
#include "support/loopback_probe.h"
#include "support/temp_dir.h"

namespace horavex {
namespace {

using namespace std::chrono_literals;

constexpr UnixMillis kStart = 1'767'225'600'000;  // 2026-01-01 00:00:00 UTC

class ServerWindowTest : public ::testing::Test {
 protected:
  // Opens the TimeTcp window over a profile holding `startUp` and a free port.
  void Open(int startUp) {
    port_ = testing::FreePort();
    std::ofstream(dir_.File("horavex.ini")) << "[TIME SERVER TCP]\nPort=" << port_ << "\nStartUp=" << startUp << "\n";
    window_ = new CTimeServerDlg(ServerKind::TimeTcp, {runtime_.GetExecutors(), profile_, clock_},
                                 asio::ip::address_v4::loopback());
    ASSERT_TRUE(window_->Create(nullptr));
  }
  void TearDown() override { InstallHelpLauncher(nullptr), delete window_; }
  template <class T> T* Control(const char* name) { return dynamic_cast<T*>(window_->FindWindow(name)); }
  void Send(wxWindow* control, wxEventType type) {
    wxCommandEvent event(type, control->GetId());
    event.SetEventObject(control);
    control->ProcessWindowEvent(event);
  }
  std::string Saved(const char* key) { return std::to_string(profile_.GetInt("TIME SERVER TCP", key, -1)); }

  testing::TempDir dir_;
  Profile profile_{dir_.File("horavex.ini")};
  ManualTimeSource time_{kStart};
  SimulatedClock clock_{time_.Source()};
  GuiRuntime runtime_;
  CTimeServerDlg* window_ = nullptr;
  std::uint16_t port_ = 0;
};

TEST_F(ServerWindowTest, EnabledRunsUnsavedAndSaveWritesAndIsDisabledAgain) {
  Open(0);
  auto* save = Control<wxButton>("wxID_OK");
  auto* enabled = Control<wxToggleButton>("IDC_ENABLED");
  EXPECT_FALSE(save->IsEnabled());  // although filling the port reported a change
  EXPECT_EQ(Control<wxSpinCtrl>("IDC_PORT")->GetValue(), port_);
  enabled->SetValue(true);
  Send(enabled, wxEVT_TOGGLEBUTTON);
  EXPECT_TRUE(save->IsEnabled());
  EXPECT_EQ(window_->Server().LocalPort(), port_);
  EXPECT_EQ(Control<wxTextCtrl>("IDC_REQUESTS")->GetValue(), "0");
  EXPECT_EQ(Saved("StartUp"), "0");
  Send(save, wxEVT_BUTTON);
  EXPECT_FALSE(save->IsEnabled());
  EXPECT_EQ(Saved("StartUp") + " " + Saved("Port"), "1 " + std::to_string(port_));
  Send(Control<wxSpinCtrl>("IDC_PORT"), wxEVT_SPINCTRL);
  EXPECT_TRUE(save->IsEnabled());
}

TEST_F(ServerWindowTest, ATimeRequestOverLoopbackReachesTheRequestAndMessagesFields) {
  Open(1);
  testing::Peer client(testing::Peer::Type::Tcp, port_);
  const auto answer = client.Receive(2s, 1);
  ASSERT_EQ(answer.empty() ? 0 : answer[0].size(), 4u);
  const std::uint32_t seconds = answer[0][0] << 24 | answer[0][1] << 16 | answer[0][2] << 8 | answer[0][3];
  EXPECT_EQ(seconds, kStart / 1000 + 2'208'988'800);
  EXPECT_TRUE(RunEventsUntil([&] { return Control<wxTextCtrl>("IDC_REQUESTS")->GetValue() == "1"; }, 3s));
  EXPECT_NE(Control<wxStaticText>("IDC_MESSAGES")->GetLabel().Find("127.0.0.1"), wxNOT_FOUND);
}

TEST_F(ServerWindowTest, HelpOpensThePageOwnedByTheWindowOrNothingWithoutABook) {
  Open(0);
  InstallHelpLauncher(std::make_unique<HelpLauncher>(HtmlHelpViewerMaker(dir_.File("missing.hhp"))));
  EXPECT_EQ(ShowHelpTopic(window_, kServerHelpTopic, 0, 0), 0);

  std::ofstream(dir_.File("book.hhp")) << "[OPTIONS]\nTitle=Horavex\nDefault topic=main.html\n\n[FILES]\nserver.html\n";
  std::ofstream(dir_.File("server.html")) << "<html><head><title>Server</title></head><body>Poort</body></html>";
  InstallHelpLauncher(std::make_unique<HelpLauncher>(HtmlHelpViewerMaker(dir_.File("book.hhp"))));
  const auto frame = ShowHelpTopic(window_, kServerHelpTopic, 0, 0);
  ASSERT_NE(frame, 0);
  EXPECT_EQ(reinterpret_cast<wxWindow*>(frame)->GetParent(), window_);
}

}  // namespace
}  // namespace horavex

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
