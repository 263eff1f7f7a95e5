// The settings window under Xvfb over a profile in a folder of its own and a player that records.
#include <fstream>

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/frame.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "common/profile.h"
#include "common/window/common_settings_dialog.h"
#include "support/fake_sound_player.h"
#include "support/temp_dir.h"

namespace horavex {
namespace {

class SettingsWindowTest : public ::testing::Test {
 protected:
  // Opens the window over a profile that holds `common` in its COMMON section, or over one that
  // cannot be written (its folder is a file).
  void Open(const std::string& common, bool writable = true) {
    std::ofstream(dir_.File("file"));
    const auto path = dir_.File(writable ? "horavex.ini" : "file/horavex.ini");
    std::ofstream(path) << "[COMMON]\n" << common;
    profile_ = std::make_unique<Profile>(path);
    window_ = nullptr;
    OpenCommonSettings(owner_, *profile_, sounds_);
    for (wxWindow* child : owner_->GetChildren())
      if (child->IsShown() && !window_) window_ = dynamic_cast<CCommonSettingsDlg*>(child);
    ASSERT_TRUE(window_ && window_->IsShown() && !owner_->IsEnabled());
  }
  void TearDown() override { delete owner_; }
  template <class T = wxWindow> T* Control(const char* name) { return dynamic_cast<T*>(window_->FindWindow(name)); }
  void Send(wxWindow* control, wxEventType type) {
    wxCommandEvent event(type, control->GetId());
    event.SetEventObject(control);
    control->ProcessWindowEvent(event);
  }
  void Type(const char* edit, const char* text) { Control<wxTextCtrl>(edit)->ChangeValue(text); }
  std::string Saved() { return testing::ReadFile(profile_->Path()); }

  testing::TempDir dir_;
  std::unique_ptr<Profile> profile_;
  testing::FakeSoundPlayer sounds_;
  wxFrame* owner_ = new wxFrame(nullptr, wxID_ANY, "owner");
  CCommonSettingsDlg* window_ = nullptr;
};

TEST_F(SettingsWindowTest, StoredModeChecksItsButtonEnablesTheConnectionAndOkStoresIt) {
  struct Row { const char* stored; int checked; int saved; };
  for (const Row row : {Row{"", 0, 0}, Row{"CheckConnect=1\n", 1, 1}, Row{"CheckConnect=2\n", 2, 2}, Row{"CheckConnect=7\n", -1, -1}}) {
    SCOPED_TRACE(row.stored);
    Open(row.stored);
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(Control<wxRadioButton>(("IDC_MODE" + std::to_string(i)).c_str())->GetValue(), i == row.checked) << i;
    EXPECT_EQ(Control("IDC_CONNECTION")->IsEnabled(), row.checked != 0);
    EXPECT_EQ(Control("IDC_CONNECTION_LABEL")->IsEnabled(), row.checked != 0);
    Send(Control("wxID_OK"), wxEVT_BUTTON);
    EXPECT_EQ(profile_->GetInt("COMMON", "CheckConnect", 99), row.saved);
    EXPECT_TRUE(owner_->IsEnabled() && !window_->IsShown());
  }
}

TEST_F(SettingsWindowTest, CancelWritesNothingAndOkWritesAllSixInOrderWithTheTypedTexts) {
  Open("PlaySound_45=/b.wav\n");
  Type("IDC_SOUND00", "/a.wav");
  Send(Control("wxID_CANCEL"), wxEVT_BUTTON);
  EXPECT_EQ(Saved(), "[COMMON]\nPlaySound_45=/b.wav\n");
  EXPECT_TRUE(owner_->IsEnabled() && !window_->IsShown());

  Open("CheckConnect=1\nConnection=kpn\n");
  Type("IDC_SOUND30", "/c.wav");
  Control<wxRadioButton>("IDC_MODE2")->SetValue(true);
  Send(Control("IDC_MODE2"), wxEVT_RADIOBUTTON);
  EXPECT_TRUE(Control("IDC_CONNECTION")->IsEnabled());
  Send(Control("wxID_OK"), wxEVT_BUTTON);
  EXPECT_EQ(Saved(), "[COMMON]\nCheckConnect=2\nConnection=kpn\nPlaySound_00=\nPlaySound_15=\nPlaySound_30=/c.wav\n"
                     "PlaySound_45=\n");
}

TEST_F(SettingsWindowTest, AFailedSaveKeepsTheWindowOpenWithAWarning) {
  Open("", false);
  Send(window_->FindWindow("wxID_OK"), wxEVT_BUTTON);
  EXPECT_TRUE(window_->IsShown() && !owner_->IsEnabled());
  EXPECT_FALSE(window_->IsEnabled());  // the warning over it
  bool warned = false;
  for (wxWindow* box : window_->GetChildren())
    for (wxWindow* text : box->GetChildren())
      if (auto* label = dynamic_cast<wxStaticText*>(text)) warned |= label->GetLabel().StartsWith("Kon de instellingen niet opslaan");
  EXPECT_TRUE(warned);
}

TEST_F(SettingsWindowTest, APlayPicturePlaysItsEditsTextNowAndAnEmptyEditNothing) {
  Open("PlaySound_15=/saved.wav\n");
  Type("IDC_SOUND15", "/typed.wav");
  for (const char* picture : {"IDC_PLAY15", "IDC_PLAY00"}) {
    wxMouseEvent click(wxEVT_LEFT_DOWN);
    Control(picture)->ProcessWindowEvent(click);
  }
  EXPECT_EQ(sounds_.played, std::vector<std::string>{"/typed.wav"});
}

}  // namespace
}  // namespace horavex
