// The real client and server windows under Xvfb, their logic on the window thread with a simulated
// clock and a fake dial-up port, their sockets on the network thread, on loopback only.
#include <climits>
#include <fstream>

#include <glib-object.h>
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/odcombo.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/tglbtn.h>
#include <wx/uiaction.h>

#include "client/window/client_dialog.h"
#include "client/window/client_info_dialog.h"
#include "common/dialup.h"
#include "common/profile.h"
#include "common/profile_file.h"
#include "gui/event_pump.h"
#include "gui/gui_runtime.h"
#include "gui/help.h"
#include "gui/port_spin.h"
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
  void OpenClient(ClientKind kind, unsigned port, int startUp, const char* more = "WarnLevel=4\n") {
    std::ofstream(dir_.File("horavex.ini")) << "[" << InfoOf(kind).section << "]\nServer=127.0.0.1\nPort=" << port
                                            << "\nStartUp=" << startUp << "\n" << more;
    station_.emplace(ClientServices{executors_, profile_, clock_, dialup_}, nullptr);
    window_ = client_ = new CTimeClientDlg(*station_, kind);
    ASSERT_TRUE(client_->Create(nullptr));
    station_->Start();
  }
  // The TimeTcp server's window, its server listening on loopback only.
  CTimeServerDlg* OpenServer() {
    station_.emplace(ClientServices{executors_, profile_, clock_, dialup_}, nullptr, asio::ip::address_v4::loopback());
    auto* window = new CTimeServerDlg(*station_, ServerKind::TimeTcp);
    window_ = window;
    EXPECT_TRUE(window->Create(nullptr));
    station_->Start();
    return window;
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
  bool WaitForMessage(const char* text) { return RunEventsUntil([&] { return Value("IDC_MESSAGES") == text; }, 5s); }
  // Runs the logic until the profile holds `value` for `key`, as a save that finished leaves it.
  bool WaitForSaved(const char* section, const char* key, int value) {
    return RunEventsUntil([&] { return Profile(profile_.Path()).GetInt(section, key, INT_MIN) == value; }, 5s);
  }
  // Types `text` into the client window, raised, and clicks its Info button, as a person would.
  void TypeAndClickInfo(const char* text) {
    client_->Raise();
    RunEventsUntil([] { return false; }, 50ms);
    wxUIActionSimulator input;
    input.Text(text);
    input.MouseMove(Control<wxButton>("IDC_INFO")->GetScreenRect().GetPosition() + wxPoint(3, 3)), input.MouseClick();
    RunEventsUntil([] { return false; }, 300ms);
  }
  TempDir dir_;
  Profile profile_{dir_.File("horavex.ini")};
  ManualTimeSource time_{kStart};
  SimulatedClock clock_{time_.Source()};
  GuiRuntime runtime_;
  std::error_code networkThread_ = runtime_.Start();
  Executors executors_ = runtime_.GetExecutors();
  DialupService dialup_{std::make_unique<FakeDialupPort>(), executors_.logic};
  std::optional<Station> station_;  // made once the test's profile is written
  wxWindow* window_ = nullptr;
  CTimeClientDlg* client_ = nullptr;
};

// Bewaar never waits: with the profile's lock held elsewhere the window goes on and says so; a
// save that fails says why and leaves Bewaar available, without counting as a failed request.
TEST_F(WindowTest, ClientSaveWaitsElsewhereAndSaysWhatBecameOfIt) {
  OpenClient(ClientKind::TimeTcp, 1, 0);
  auto* save = Control<wxButton>("wxID_OK");
  EXPECT_FALSE(save->IsEnabled());  // filling the controls is no change
  Toggle(true);
  EXPECT_TRUE(save->IsEnabled() && client_->Client().IsRunning());
  auto other = std::make_unique<FileLock>();
  ASSERT_EQ(other->Acquire(profile_.Path().string() + ".lock", 0ms), 0);
  Click(save);
  EXPECT_TRUE(WaitForMessage("Bezig met bewaren..."));
  EXPECT_EQ(profile_.GetInt("TIME CLIENT TCP", "StartUp", -1), 0);
  other.reset();
  EXPECT_TRUE(WaitForMessage("Instellingen bewaard"));
  EXPECT_EQ(profile_.GetInt("TIME CLIENT TCP", "StartUp", -1), 1);
  EXPECT_FALSE(save->IsEnabled());

  std::filesystem::remove(profile_.Path());
  std::filesystem::create_directory(profile_.Path());
  Click(save);
  EXPECT_TRUE(WaitForMessage("Melding: 1 ERROR: 21\nInstellingen NIET te bewaren"));
  EXPECT_TRUE(save->IsEnabled());
  EXPECT_EQ(client_->Client().GetStatusText(), "0");
}

// What is stored is shown as it stands: a port no server has, list indices beyond their lists
// (no entry, and no toolkit box: the assert handler fails the test). A port field that holds no
// port is refused as a request refuses it, and nothing is taken.
TEST_F(WindowTest, ClientShowsStoredValuesAsTheyStandAndRefusesAPortItCannotOpen) {
  OpenClient(ClientKind::TimeTcp, 70000, 0, "WarnLevel=9\nMaxOffset=12\n");
  auto* port = Control<PortSpin>("IDC_PORT");
  EXPECT_EQ(port->Text(), "70000");
  for (const char* list : {"IDC_WARNLEVEL", "IDC_MAXOFFSET"}) EXPECT_EQ(Control<wxOwnerDrawnComboBox>(list)->GetSelection(), wxNOT_FOUND);
  Toggle(true);
  EXPECT_FALSE(client_->Client().IsRunning() || Control<wxToggleButton>("IDC_ENABLED")->GetValue());
  EXPECT_EQ(Value("IDC_MESSAGES"), "Melding: 1 ERROR: 22\nGeen verbinding met server\nof de poort is niet te openen");
  port->SetText("123");
  Click(Control<wxButton>("wxID_OK"));
  EXPECT_TRUE(WaitForSaved("TIME CLIENT TCP", "Port", 123));
  EXPECT_EQ(profile_.GetInt("TIME CLIENT TCP", "WarnLevel", 0) + profile_.GetInt("TIME CLIENT TCP", "MaxOffset", 0), -2);
}

// Answering late enough that the request is seen waiting, however loaded the machine. StartUp 1:
// the request made as the window is created; 0: the Synchro button's.
TEST_F(WindowTest, ARequestFillsTheTimesMessagesStatusAndInformation) {
  const std::tuple<ClientKind, Script, int, const char*> rows[] = {
      {ClientKind::TimeTcp, {Transport::Tcp, {TimeAnswer(kStart / 1000)}, 300ms}, 1,
       "Type client: Time via TCP\nDUMP:\nED 00 37 80 \nBerekening: 3976214400 - 2208988800=1767225600"},
      // The exchange's times follow the fields: T1 is the window's clock as the request left.
      {ClientKind::SntpUdp, {Transport::Udp, {SntpAnswer(kStart / 1000, 0)}, 300ms}, 0,
       "Transmit Timestamp : 3976214400.0000000000\nT1 verzonden (lokale klok) : 3976214400.0000000000\n"}};
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
    Click(Control<wxButton>("IDC_INFO"));  // the information window, the window's newest child
    EXPECT_NE(dynamic_cast<CClientInfoDlg*>(window_->GetChildren().GetLast()->GetData())->GetText().Find(info), wxNOT_FOUND) << info;
    delete std::exchange(window_, nullptr);
  }
}

// Two boxes over one window: the information window, and the warning of a request that failed
// meanwhile. The window takes no keys or clicks until the last is gone; then its keyboard goes
// back to the control that had it or, when that cannot take it any more (Synchro waits for its
// request, Bewaar has nothing to save), to the first that can.
TEST_F(WindowTest, WindowModalBoxesKeepInputFromTheirOwnerUntilTheLastGoes) {
  OpenClient(ClientKind::TimeTcp, FreePort(), 0);
  window_->Move(0, 0), window_->Show();
  Control<wxButton>("IDC_SYNCHRO")->SetFocus();
  auto* info = ShowClientInfo(window_, profile_, ClientKind::TimeTcp, client_->Client().Answer());
  client_->Client().DoSynchro();
  ASSERT_TRUE(RunEventsUntil([&] { return client_->WarningBox() != nullptr; }, 5s));
  info->Close();
  client_->WarningBox()->Move(600, 0);  // clear of the Info button
  Control<wxTextCtrl>("IDC_SERVER")->SetFocus(), TypeAndClickInfo("5");
  EXPECT_TRUE(Value("IDC_SERVER") == "127.0.0.1" && OpenWindowModalCount(*window_) == 1);

  Click(client_->WarningBox()->FindWindow(wxID_OK));
  EXPECT_EQ(wxWindow::FindFocus(), Control<wxTextCtrl>("IDC_SERVER"));
  TypeAndClickInfo("x");  // the focus selected the server's text
  EXPECT_TRUE(RunEventsUntil([&] { return Value("IDC_SERVER") == "x" && OpenWindowModalCount(*window_) == 1; }, 5s));
  dynamic_cast<wxDialog*>(window_->GetChildren().GetLast()->GetData())->Close();
  EXPECT_EQ(wxWindow::FindFocus(), Control<wxButton>("IDC_INFO")) << "clicked, it took the focus; not to Bewaar";
  ASSERT_TRUE(WaitForStatus("Aanvraag gereed"));  // the request waited for the warning
  // Bewaar disabling itself hands the keyboard on as well.
  Control<wxButton>("wxID_OK")->SetFocus(), Click(Control<wxButton>("wxID_OK"));
  EXPECT_EQ(wxWindow::FindFocus(), Control<wxTextCtrl>("IDC_SERVER"));
}

TEST_F(WindowTest, HelpOpenedFromTheInformationWindowOutlivesIt) {
  std::ofstream(dir_.File("book.hhp")) << "[OPTIONS]\nTitle=Horavex\n\n[FILES]\nclient.html\nclientinfo.html\n";
  for (const char* page : {"client.html", "clientinfo.html"}) std::ofstream(dir_.File(page)) << "<html><body>Info</body></html>";
  InstallHelpLauncher(std::make_unique<HelpLauncher>(HtmlHelpViewerMaker(dir_.File("book.hhp"))));
  OpenClient(ClientKind::TimeTcp, 1, 0);
  auto* info = ShowClientInfo(window_, profile_, ClientKind::TimeTcp, client_->Client().Answer());
  EXPECT_TRUE(ShowHelpTopic(info, kClientInfoHelpTopic));
  EXPECT_NE(dynamic_cast<wxFrame*>(info->GetChildren().GetLast()->GetData()), nullptr) << "owned by the window that asked";
  info->Close();
  RunEventsUntil([] { return false; }, 100ms);  // the window goes, and its help window with it
  EXPECT_TRUE(ShowHelpTopic(window_, kClientHelpTopic));
}

// The server window started by its profile answers from the simulated clock and shows the request;
// switching it off stops it unsaved, and Save writes it and is disabled again.
TEST_F(WindowTest, ServerWindowAnswersAndEnabledRunsUnsavedUntilSave) {
  const std::uint16_t port = FreePort();
  std::ofstream(dir_.File("horavex.ini")) << "[TIME SERVER TCP]\nPort=" << port << "\nStartUp=1\n";
  auto* window = OpenServer();
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
  EXPECT_TRUE(WaitForSaved("TIME SERVER TCP", "StartUp", 0));
  Click(Control<PortSpin>("IDC_PORT"), wxEVT_TEXT);
  EXPECT_TRUE(save->IsEnabled());
}

// The server's port field shows what is stored and what is typed as it stands, also after GTK
// reads it (Enter, the focus leaving: "activate"); Bewaar and Enabled refuse a text that is no
// port and keep the old setting. The arrows (change-value 6 up, 7 down) step within 1 to 65535.
struct PortRow {
  const char* name;
  const char* stored;
  const char* typed;  // null: the stored text
  const char* signal;
  int scroll;
  const char* shown;
  int saved;  // "Port" after Bewaar: the stored port when refused
};

void PrintTo(const PortRow& row, std::ostream* out) { *out << row.name; }

class ServerPortField : public WindowTest, public ::testing::WithParamInterface<PortRow> {};

TEST_P(ServerPortField, ShowsWhatItUsesAndSavesWhatItShows) {
  const PortRow& row = GetParam();
  std::ofstream(dir_.File("horavex.ini")) << "[TIME SERVER TCP]\nPort=" << row.stored << "\n";
  auto* window = OpenServer();
  auto* port = Control<PortSpin>("IDC_PORT");
  if (row.typed) port->SetText(row.typed);
  if (row.signal) g_signal_emit_by_name(G_OBJECT(port->GetHandle()), row.signal, row.scroll);
  EXPECT_EQ(port->Text(), row.shown);
  Click(Control<wxButton>("wxID_OK"));
  if (std::to_string(row.saved) != row.stored) {
    EXPECT_TRUE(WaitForSaved("TIME SERVER TCP", "Port", row.saved));
    return;
  }
  Toggle(true);
  EXPECT_FALSE(window->Server().Running() || Control<wxToggleButton>("IDC_ENABLED")->GetValue());
  EXPECT_EQ(Value("IDC_MESSAGES"), "Melding: 2 ERROR: 22\nCreatie socket NIET mogelijk");
  RunEventsUntil([] { return false; }, 100ms);
  EXPECT_EQ(profile_.GetInt("TIME SERVER TCP", "Port", 0), row.saved);
}

INSTANTIATE_TEST_SUITE_P(Rows, ServerPortField, ::testing::Values(
    PortRow{"StoredAboveTheRange", "70000", nullptr, "activate", 0, "70000", 70000},
    PortRow{"StoredNegative", "-1", nullptr, nullptr, 0, "-1", -1},
    PortRow{"TypedAboveTheRange", "37", "99999", "activate", 0, "99999", 37},
    PortRow{"TypedEmpty", "37", "", "activate", 0, "", 37},
    PortRow{"ArrowUp", "37", nullptr, "change-value", 6, "38", 38},
    PortRow{"ArrowDownFromAboveTheRange", "70000", nullptr, "change-value", 7, "65534", 65534}),
    [](const ::testing::TestParamInfo<PortRow>& row) { return std::string(row.param.name); });

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
