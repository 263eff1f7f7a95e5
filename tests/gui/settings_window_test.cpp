// The settings window under Xvfb over a profile in a folder of its own and a player that records.
#include <fstream>

#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/filedlg.h>
#include <wx/frame.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>

#include "common/profile.h"
#include "common/window/common_settings_dialog.h"
#include "gui/event_pump.h"
#include "gui/gui_runtime.h"
#include "gui/window_modal.h"
#include "support/fake_sound_player.h"
#include "support/temp_dir.h"

namespace horavex {
namespace {

using namespace std::chrono_literals;

class SettingsWindowTest : public ::testing::Test {
 protected:
  // Opens the window over a profile holding `common`, or over one that cannot be written (its folder is a file).
  void Open(const std::string& common, bool writable = true) {
    setenv("XDG_CONFIG_HOME", dir_.File("config").c_str(), 1);
    std::ofstream(dir_.File("file")), std::ofstream(dir_.File("horavex.ini")) << "[COMMON]\n" << common;
    profile_ = std::make_unique<Profile>(dir_.File(writable ? "horavex.ini" : "file/horavex.ini"));
    OpenCommonSettings(owner_, *profile_, sounds_, runtime_.GetExecutors());
    for (wxWindow* child : owner_->GetChildren()) window_ = child->IsShown() ? child : window_;
  }
  void TearDown() override { delete owner_; }
  template <class T = wxWindow> T* Control(const wxString& name) { return dynamic_cast<T*>(window_->FindWindow(name)); }
  template <class Event = wxCommandEvent> void Send(const char* name, wxEventType type = wxEVT_BUTTON) {
    Event event(type);
    event.SetId(Control(name)->GetId());
    Control(name)->ProcessWindowEvent(event);
  }
  std::string Saved() { return testing::ReadFile(profile_->Path()); }
  std::string Entry() { return testing::ReadFile(dir_.File("config/autostart/nl.horavex.Horavex.desktop")); }

  testing::TempDir dir_;
  GuiRuntime runtime_;
  std::error_code networkThread_ = runtime_.Start();
  std::unique_ptr<Profile> profile_;
  testing::FakeSoundPlayer sounds_;
  wxFrame* owner_ = new wxFrame(nullptr, wxID_ANY, "owner");
  wxWindow* window_ = nullptr;
};

TEST_F(SettingsWindowTest, StoredModeChecksItsButtonEnablesTheConnectionAndOkStoresIt) {
  for (const auto& [stored, mode] :
       {std::pair{"", 0}, {"CheckConnect=1\n", 1}, {"CheckConnect=2\n", 2}, {"CheckConnect=7\n", -1}}) {
    Open(stored);
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(Control<wxRadioButton>(wxString::Format("IDC_MODE%d", i))->GetValue(), i == mode) << stored;
    EXPECT_EQ(Control("IDC_CONNECTION")->IsEnabled() + Control("IDC_CONNECTION_LABEL")->IsEnabled(), mode ? 2 : 0);
    Send("wxID_OK");
    EXPECT_TRUE(RunEventsUntil([&] { return OpenWindowModalCount(*owner_) == 0; }, 5s)) << "closes once saved";
    EXPECT_EQ(profile_->GetInt("COMMON", "CheckConnect", 99), mode) << stored;
  }
}

TEST_F(SettingsWindowTest, PlayCancelOkAndAFailedSaveThatKeepsTheWindowUnderAWarning) {
  Open("CheckConnect=1\nConnection=kpn\n");
  EXPECT_TRUE(Control<wxCheckBox>("IDC_STATUS_ICON")->GetValue() && !Control<wxCheckBox>("IDC_AUTOSTART")->GetValue());
  Control<wxCheckBox>("IDC_AUTOSTART")->SetValue(true);
  Send("wxID_CANCEL");
  EXPECT_EQ(Saved() + Entry(), "[COMMON]\nCheckConnect=1\nConnection=kpn\n");

  // The icon turned off: the entry starts Horavex with its splash, and the icon goes at once.
  std::vector<bool> icon;
  InstallDesktopHooks({[] { return true; }, [&](bool on) { icon.push_back(on); }});
  Open("CheckConnect=1\nConnection=kpn\n");
  Send("IDC_BROWSE30");  // the chooser's choice goes into its edit
  auto* chooser = dynamic_cast<wxFileDialog*>(window_->GetChildren().GetLast()->GetData());
  const std::string chosen = dir_.File("c.wav").string();
  std::ofstream{chosen}, chooser->SetPath(chosen);
  ASSERT_TRUE(RunEventsUntil([&] { return chooser->GetPath() == chosen; }, 5s)) << "GTK selects it later";
  EndWindowModal(*chooser, wxID_OK);
  Send<wxMouseEvent>("IDC_PLAY30", wxEVT_LEFT_DOWN), Send<wxMouseEvent>("IDC_PLAY00", wxEVT_LEFT_DOWN);  // 00 is empty
  EXPECT_EQ(sounds_.played, std::vector<std::string>{chosen});
  Control<wxRadioButton>("IDC_MODE2")->SetValue(true);
  Control<wxCheckBox>("IDC_STATUS_ICON")->SetValue(false), Control<wxCheckBox>("IDC_AUTOSTART")->SetValue(true);
  Send("IDC_MODE2", wxEVT_RADIOBUTTON), Send("wxID_OK");
  ASSERT_TRUE(RunEventsUntil([&] { return OpenWindowModalCount(*owner_) == 0; }, 5s));
  InstallDesktopHooks({});
  EXPECT_EQ(Saved(), "[COMMON]\nCheckConnect=2\nConnection=kpn\nPlaySound_00=\nPlaySound_15=\nPlaySound_30=" + chosen +
                         "\nPlaySound_45=\nStatusIcon=0\n");
  EXPECT_EQ(icon, std::vector<bool>{false});
  EXPECT_NE(Entry().find("\nExec=horavex HIDE\n"), std::string::npos) << Entry();

  // A profile that cannot be written, then an autostart folder that cannot be made: the window
  // stays under a warning, and nothing is saved after the entry failed.
  for (const bool profileFails : {true, false}) {
    if (!profileFails) std::filesystem::remove_all(dir_.File("config/autostart")), std::ofstream(dir_.File("config/autostart"));
    Open("", !profileFails);
    Control<wxCheckBox>("IDC_AUTOSTART")->SetValue(!profileFails);
    Send("wxID_OK");
    EXPECT_TRUE(RunEventsUntil([&] { return OpenWindowModalCount(*window_) == 1; }, 5s)) << "a warning over the window";
    EXPECT_TRUE(window_->IsShown() && OpenWindowModalCount(*owner_) == 1);
    EXPECT_EQ(Saved(), profileFails ? "" : "[COMMON]\n");
    for (wxWindow* child : window_->GetChildren())  // the warning, then the window, as a person would
      if (auto* warning = dynamic_cast<wxDialog*>(child)) EndWindowModal(*warning, wxID_OK);
    EndWindowModal(*dynamic_cast<wxDialog*>(window_), wxID_CANCEL);
    ASSERT_TRUE(RunEventsUntil([&] { return OpenWindowModalCount(*owner_) == 0; }, 5s));
  }
}

}  // namespace
}  // namespace horavex
