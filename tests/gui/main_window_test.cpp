// The main window under Xvfb over a simulated clock, and the program itself started twice.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <wx/app.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>
#include <wx/xrc/xmlres.h>

#include "app/links.h"
#include "about/window/about_dialog.h"
#include "about/window/star_crawl_ctrl.h"
#include "app/window/main_dialog.h"
#include "client/window/client_dialog.h"
#include "common/dialup.h"
#include "common/language.h"
#include "common/profile.h"
#include "gui/close_box.h"
#include "gui/event_pump.h"
#include "gui/gui_runtime.h"
#include "gui/translations.h"
#include "platform/simulated_clock.h"
#include "server/window/server_dialog.h"
#include "support/fake_dialup_port.h"
#include "support/fake_sound_player.h"
#include "support/loopback_probe.h"
#include "support/peer_process.h"
#include "support/require_peer.h"
#include "support/temp_dir.h"

namespace horavex {
namespace {

using namespace std::chrono_literals;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1), tzset();
    std::ofstream(dir_.File("horavex.ini")) << "[TIME SERVER TCP]\nPort=" << testing::FreePort() << "\n";
    main_ = new CMainDlg({runtime_.GetExecutors(), profile_, clock_, dialup_}, sounds_);
    main_->SetLinkOpener([this](const std::string& url) { links_.push_back(url); });
    ASSERT_TRUE(main_->Create());
  }
  void TearDown() override {
    if (main_) main_->Destroy();
    RunEventsUntil([] { return wxPendingDelete.IsEmpty(); }, 2s);
    ASSERT_TRUE(wxPendingDelete.IsEmpty()) << "the window must go before the runtime its clients use";
  }
  wxString Text(const char* name) {
    auto* edit = dynamic_cast<wxTextCtrl*>(main_->FindWindow(name));
    return edit ? edit->GetValue() : main_->FindWindow(name)->GetLabel();
  }
  void Key(int code, wxWindow* window = nullptr) {
    wxKeyEvent key(wxEVT_CHAR_HOOK);
    key.m_keyCode = code;
    (window ? window : main_)->ProcessWindowEvent(key);
  }
  void Click(wxWindow* target, int id) {
    wxCommandEvent click(wxEVT_BUTTON, id);
    target->ProcessWindowEvent(click);
  }
  void Click(const char* button) { Click(main_->FindWindow(button), main_->FindWindow(button)->GetId()); }
  // The window opened last over the main window: a question box, the about window.
  wxWindow* Newest() { return main_->GetChildren().GetLast()->GetData(); }

  testing::TempDir dir_;
  Profile profile_{dir_.File("horavex.ini")};
  ManualTimeSource time_{1'767'225'599'000};  // 2025-12-31 23:59:59 UTC
  SimulatedClock clock_{time_.Source()};
  GuiRuntime runtime_;
  std::error_code networkThread_ = runtime_.Start();
  DialupService dialup_{std::make_unique<testing::FakeDialupPort>(), runtime_.GetExecutors().logic};
  testing::FakeSoundPlayer sounds_;
  CMainDlg* main_ = nullptr;
  std::vector<std::string> links_;
};

// The window shows what the station's refresh gives (which gives only what changed: the
// station's test); a server's count shows in its own window too.
TEST_F(MainWindowTest, TheRefreshShowsTheStationsTexts) {
  main_->RefreshDashboard();
  EXPECT_EQ(Text("IDC_TIME") + " " + Text("IDC_DATE") + "|" + Text("IDC_LASTSYNC_BY") + "|" + Text("IDC_LASTSYNC_AT") +
                "|" + Text("IDC_CLIENT_STATUS_4") + "|" + Text("IDC_SERVER_STATUS_0"),
            "23:59:59 12/31/25|...|Nog Niet|Disabled|disabled");
  main_->Server(ServerKind::TimeTcp)->Server().SetEnabled(true);
  time_.Advance(1s);
  main_->RefreshDashboard();
  EXPECT_EQ(Text("IDC_SERVER_STATUS_0") + " " + Text("IDC_TIME") + " " + Text("IDC_DATE"), "0 00:00:00 01/01/26");
  EXPECT_EQ(XRCCTRL(*main_->Server(ServerKind::TimeTcp), "IDC_REQUESTS", wxTextCtrl)->GetValue(), "0");
}

TEST_F(MainWindowTest, EnterAndYesHideNoStopsAndThePictureButtonsOpenTheProjectsLinks) {
  Click("IDC_INFO");
  Click("IDC_WEB");
  EXPECT_EQ(links_, (std::vector<std::string>{"mailto:info@horavex.nl?SUBJECT=Info%20aanvraag%20Horavex",
                                              std::string(kWebAddress)}));

  EXPECT_EQ(wxWindow::FindFocus(), main_->FindWindow(wxID_OK));  // Enter on " &V: Verbergen" hides
  main_->FindWindow("IDC_TIME")->SetFocus();
  Key(WXK_RETURN);
  EXPECT_FALSE(main_->IsShown());
  main_->ShowAndRaise();
  Key(WXK_ESCAPE);
  Click(Newest(), wxID_YES);
  EXPECT_FALSE(main_->IsShown());
  EXPECT_FALSE(wxPendingDelete.Member(main_));
  main_->ShowAndRaise();
  Key(WXK_ESCAPE);
  Click(Newest(), wxID_NO);
  EXPECT_TRUE(wxPendingDelete.Member(main_));
  main_ = nullptr;
}

TEST_F(MainWindowTest, TheInfoButtonWithShiftAndCtrlHeldOpensTheCrawlUntilEnterOrEscape) {
  Star previous;
  wxUIActionSimulator keys;
  for (const int key : {WXK_ESCAPE, WXK_RETURN}) {
    keys.KeyDown(WXK_SHIFT), keys.KeyDown(WXK_CONTROL);
    Click("IDC_INFO");
    keys.KeyUp(WXK_CONTROL), keys.KeyUp(WXK_SHIFT);
    auto* about = dynamic_cast<CAboutDlg*>(Newest());
    ASSERT_NE(about, nullptr);
    const StarCrawl& crawl = about->Crawl()->Crawl();
    EXPECT_EQ(wxSize(crawl.Width(), crawl.Height()), about->GetClientSize());
    EXPECT_NE(std::pair(crawl.Stars()[0].x, crawl.Stars()[0].y), std::pair(previous.x, previous.y));
    previous = crawl.Stars()[0];
    EXPECT_TRUE(RunEventsUntil([&] { return crawl.FrameCount() >= 4; }, 2s)) << "a frame every 75 ms";
    EXPECT_EQ(crawl.ScrollPos(), crawl.Height() - 2 * crawl.FrameCount());
    Key(key, about);
    EXPECT_FALSE(about->IsShown()) << key;
    RunEventsUntil([] { return false; }, 50ms);  // the window goes at the next idle time
  }
  EXPECT_TRUE(links_.empty());
}

// The texts a person reads first follow the environment's language: the main window's buttons, a
// client window's labels, the Escape box and, in a process of its own, horavex-query's usage.
// What a button shows on the screen, as GTK draws it (wx keeps its own copy of the label).
wxString OnScreen(wxWindow* button) { return wxString::FromUTF8(gtk_button_get_label(GTK_BUTTON(button->GetHandle()))); }

struct LanguageRow {
  const char *name, *variable, *value;
  const char* texts;  // Hide, Quit | the client's first box, port hint | the box: text, Yes, No | the usage's first word
};
void PrintTo(const LanguageRow& row, std::ostream* os) { *os << row.name; }

class LanguageTest : public MainWindowTest, public ::testing::WithParamInterface<LanguageRow> {
 protected:
  void SetUp() override {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(name);
    setenv(GetParam().variable, GetParam().value, 1);
    SetUpLanguage(ChooseLanguage(), HORAVEX_TEST_LOCALE_DIR);
    UseToolkitTexts(CurrentLanguage(), HORAVEX_TEST_LOCALE_DIR);
    MainWindowTest::SetUp();
  }
  void TearDown() override { MainWindowTest::TearDown(), SetUpLanguage(Language::kDutch, {}), UseToolkitTexts(Language::kDutch, {}); }
};

TEST_P(LanguageTest, TheWindowsAndTheUsageSpeakIt) {
  std::string error;
  auto query = testing::PeerProcess::Start({HORAVEX_QUERY, "--help"}, dir_.File("query.log"), error);
  ASSERT_TRUE(query && query->AwaitReady([&] { return !query->Running(); }, 10s)) << error;
  wxWindow* client = main_->Client(ClientKind::TimeTcp);
  Key(WXK_ESCAPE);
  const wxString texts = Text("wxID_OK") + Text("wxID_CANCEL") + "|" + client->GetChildren()[0]->GetLabel() +
                         client->FindWindow("IDC_PORT_HINT")->GetLabel() + "|" + Newest()->GetChildren()[1]->GetLabel() +
                         OnScreen(Newest()->FindWindow(wxID_YES)) + OnScreen(Newest()->FindWindow(wxID_NO)) + "|";
  EXPECT_EQ(texts.utf8_string() + query->Log().substr(0, query->Log().find(' ')), GetParam().texts);
  Click(Newest(), wxID_YES);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LanguageTest,
    ::testing::Values(
        LanguageRow{"English", "LANGUAGE", "en", "&H: Hide&Q: Quit|Server details(Default 37)|Hide the program?_Yes_No|Usage:"},
        LanguageRow{"CIsDutch", "LANG", "C",
                    "&V: Verbergen&Q: Stoppen|Server gegevens(Normaal 37)|Verbergen van programma ?_Ja_Nee|Gebruik:"}),
    [](const auto& row) { return std::string(row.param.name); });

// The real program, started as a user would, in folders of its own.
class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME"}) setenv(folder, dir_.Path().c_str(), 1);
  }
  std::unique_ptr<testing::PeerProcess> Start(std::vector<std::string> words) {
    words.insert(words.begin(), HORAVEX_PROGRAM);
    std::string error;
    auto process = testing::PeerProcess::Start(words, dir_.File("horavex.log"), error);
    EXPECT_TRUE(process) << error;
    return process;
  }
  // The window of `process` titled `title` that shows; "" when none does.
  static std::string Shown(testing::PeerProcess& process, const std::string& title = "Horavex") {
    const std::string search = "xdotool search --onlyvisible --pid " + std::to_string(process.Pid()) + " --name '^" + title + "$'";
    std::unique_ptr<FILE, int (*)(FILE*)> out(popen(search.c_str(), "r"), pclose);
    char id[32] = {};
    return out && std::fgets(id, sizeof id, out.get()) ? std::string(id, std::strcspn(id, "\n")) : std::string();
  }
  static bool Shows(testing::PeerProcess& process) { return !Shown(process).empty(); }
  bool Listening() { return std::filesystem::exists(dir_.File("horavex/horavex.sock")); }

  testing::TempDir dir_;
};

TEST_F(ProgramTest, ASecondStartRaisesTheFirstMultipleRunsBesideAndACrashLeavesNoBlock) {
  // Without a screen: one line, and a status that says it failed.
  const std::string display = std::getenv("DISPLAY");
  unsetenv("DISPLAY");
  auto blind = Start({});
  ASSERT_TRUE(blind->AwaitReady([&] { return !blind->Running(); }, 10s));
  EXPECT_EQ(blind->Stop(), 1 << 8);
  EXPECT_EQ(blind->Log(), "horavex: geen beeldscherm gevonden (is DISPLAY gezet?); het venster kan niet openen\n");
  // The usage needs no screen: the start words and where the profile is.
  auto help = Start({"--help"});
  setenv("DISPLAY", display.c_str(), 1);
  ASSERT_TRUE(help->AwaitReady([&] { return !help->Running(); }, 10s));
  EXPECT_EQ(help->Stop(), 0);
  const std::string usage = help->Log();
  EXPECT_TRUE(usage.find("Gebruik: horavex [MULTIPLE] [HIDE] [NOSHOW]") != std::string::npos &&
              usage.find("Profiel: " + dir_.File("horavex.ini").string() + "\n") != std::string::npos) << usage;

  auto first = Start({"NOSHOW"});
  ASSERT_TRUE(first->AwaitReady([&] { return Listening(); }, 20s)) << first->Log();
  auto second = Start({});
  ASSERT_TRUE(second->AwaitReady([&] { return !second->Running(); }, 10s));
  EXPECT_EQ(second->Stop(), 0);
  EXPECT_TRUE(first->AwaitReady([&] { return Shows(*first); }, 10s));

  auto beside = Start({"MULTIPLE"});
  EXPECT_TRUE(beside->AwaitReady([&] { return Shows(*beside); }, 20s));
  EXPECT_TRUE(first->Running());

  kill(first->Pid(), SIGKILL);
  first->Stop();
  auto next = Start({});
  EXPECT_TRUE(next->AwaitReady([&] { return Shows(*next); }, 20s)) << next->Log();
}

// The status icon as a panel sees it, on a private session bus with a watcher of the test's own,
// also when the watcher comes after the program (a panel at login); the program says nothing.
TEST_F(ProgramTest, TheStatusIconRegistersItsFourEntriesAndShowsAndStopsAHiddenStart) {
  HORAVEX_REQUIRE(std::system("command -v dbus-run-session >/dev/null && /usr/bin/python3 -c 'import dbus, gi'") == 0,
                  "dbus-daemon or python3-dbus");
  // The third stops the program with the settings window open over the main window.
  for (const std::string how : {"", " late", " settings"}) {
    const std::string run = "dbus-run-session -- /usr/bin/python3 " HORAVEX_STATUS_WATCHER " " HORAVEX_PROGRAM + how +
                            " > " + dir_.File("out").string() + " 2>/dev/null";
    ASSERT_EQ(std::system(run.c_str()), 0);
    EXPECT_EQ(testing::ReadFile(dir_.File("out")),
              "item Laatste synchronisatie Nog Niet Active icon-app\n"
              "menu Horavex tonen|Nu synchroniseren|Instellingen...|Stoppen\nshown\n" +
                  std::string(how == " settings" ? "settings\n" : "") + "exit 0\n") << how;
  }
}

// How a person ends the program; under the sanitizers any use of freed memory ends it otherwise.
// Alt+Q alone is " &Q: Stoppen" as the status icon's "Stoppen" presses it, and as here with a box open.
enum class Ending { CloseBox, AltQWithAWarningOpen };
const char* const kEndingNames[] = {"CloseBox", "AltQWithAWarningOpen"};
class ProgramEnds : public ProgramTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(ProgramEnds, WithStatusZeroWithinSeconds) {
  const bool warning = GetParam() == Ending::AltQWithAWarningOpen;
  // A client that fails at once, at its start, and says so in a box.
  if (warning)
    std::ofstream(dir_.File("horavex.ini")) << "[DAYTIME CLIENT TCP]\nServer=127.0.0.1\nPort=" << testing::FreePort()
                                            << "\nWarnLevel=4\nStartUp=1\n";
  auto program = Start({});
  std::string main;
  ASSERT_TRUE(program->AwaitReady([&] { return !(main = Shown(*program)).empty(); }, 20s)) << program->Log();
  const auto boxShows = [&] { return !warning || !Shown(*program, "Client DayTime TCP").empty(); };
  ASSERT_TRUE(program->AwaitReady(boxShows, 10s));
  const std::string altQ = "xdotool windowfocus --sync " + main + " key alt+q";
  EXPECT_TRUE(GetParam() == Ending::CloseBox ? testing::PressCloseBox(std::stoul(main)) : std::system(altQ.c_str()) == 0);
  EXPECT_TRUE(program->AwaitReady([&] { return !program->Running(); }, 5s));
  EXPECT_EQ(program->Stop(), 0) << program->Log();
}

INSTANTIATE_TEST_SUITE_P(Program, ProgramEnds,
                         ::testing::Values(Ending::CloseBox, Ending::AltQWithAWarningOpen),
                         [](const auto& p) { return kEndingNames[int(p.param)]; });

}  // namespace
}  // namespace horavex
