// CTimeApp: the windowed program. It decides whether this copy may run (one at a time, unless
// MULTIPLE), hands over to a copy that already runs, starts the network thread and runs the main
// window for the whole life of the program. The logic runs on the window thread, the sockets on
// the network thread. Shutdown takes everything down in the order of its dependencies, before wx
// shuts down.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/weakref.h>

#include "app/single_instance.h"
#include "app/startup.h"
#include "app/window/main_dialog.h"
#include "app/window/main_status_icon.h"
#include "client/time_client.h"
#include "common/dialup.h"
#include "common/common_settings.h"
#include "common/language.h"
#include "common/profile.h"
#include "common/window/common_settings_dialog.h"
#include "gui/event_pump.h"
#include "gui/gui_runtime.h"
#include "gui/help.h"
#include "gui/resources.h"
#include "gui/status_icon.h"
#include "gui/theme.h"
#include "gui/translations.h"
#include "platform/clock.h"
#include "platform/dialup_port.h"
#include "platform/sound.h"

namespace horavex {
namespace {

// The application's name: the title of its message boxes and the base name of its profile.
constexpr const char* kAppName = "horavex";

// How long the program waits at its end for the requests of the clients the station released.
constexpr std::chrono::seconds kRequestsEndBound{2};

std::string Usage() {
  return std::string(Tr("Gebruik: horavex [MULTIPLE] [HIDE] [NOSHOW]\n"
         "  Houdt de klok gelijk met tijdservers en geeft andere computers de tijd, in vensters.\n"
         "  De woorden mogen overal op de opdrachtregel staan, in hoofdletters:\n"
         "  MULTIPLE   draai naast een Horavex die al draait (anders komt die naar voren)\n"
         "  HIDE       toon het beginbeeld, laat het vervagen en blijf verborgen\n"
         "  NOSHOW     blijf verborgen vanaf de start\n"
         "  --help     toont deze tekst\n")) +
         Tr("Profiel: ") + Profile::DefaultPath(kAppName).string() + "\n" +
         Tr("Afsluitstatus: 0 na het stoppen of als de Horavex die al draait zich toont, 1 als de\n"
         "  start mislukt (geen beeldscherm, de draaiende Horavex niet te bereiken).\n");
}

// A failed check inside wx goes to the log: its own box (in English, with Stop and Continue) must
// never reach a user.
void LogAssertion(const wxString& file, int line, const wxString& function, const wxString& condition,
                  const wxString& message) {
  std::fprintf(stderr, Tr("horavex: interne controle mislukt: %s:%d %s: %s %s\n"), file.utf8_str().data(), line,
               function.utf8_str().data(), condition.utf8_str().data(), message.utf8_str().data());
}

}  // namespace

class CTimeApp : public wxApp {
 public:
  bool OnInit() override {
    wxSetAssertHandler(LogAssertion);
    SetAppName(kAppName);
    // GTK's setlocale(LC_ALL, "") may have put LC_MESSAGES back to C since main() chose.
    SetUpLanguage();
    UseToolkitTexts(CurrentLanguage(), FindLocaleDir());
    std::string commandLine;
    for (int i = 0; i < argc; ++i) commandLine += (i ? " " : "") + std::string(argv[i].utf8_str());
    const StartWords words = StartWords::Find(commandLine);
    if (!words.multiple) {
      m_instance = std::make_unique<SingleInstance>(SingleInstance::DefaultDir(), kAppName);
      if (!m_instance->TryLock()) {
        if (m_instance->AskFirstToShow()) return false;  // the running copy shows itself: a success
        wxMessageBox(_("Horavex is actief, maar niet te activeren"), kAppName, wxOK);
        return Fail();
      }
      if (!m_instance->Problem().empty())
        wxMessageBox(wxString::FromUTF8(m_instance->Problem()) + _("\nHoravex start zonder te weten of het al actief is."),
                     kAppName, wxOK | wxICON_WARNING);
    }
    m_runtime = std::make_unique<GuiRuntime>();
    if (const std::error_code error = m_runtime->Start()) {
      // The box keeps its historic words; the reason goes to the log beside it.
      std::fprintf(stderr, Tr("horavex: de netwerkdraad start niet: %s\n"), error.message().c_str());
      wxMessageBox("Windows sockets initialization failed.", kAppName, wxOK);
      return Fail();
    }
    m_profile = std::make_unique<Profile>(Profile::DefaultPath(kAppName));
    m_clock = MakeSystemClock();
    m_sounds = MakeSystemSoundPlayer();
    InstallHelpLauncher(std::make_unique<HelpLauncher>(HtmlHelpViewerMaker(FindDataFile(HelpBookFile(CurrentLanguage())))));
    const Executors executors = m_runtime->GetExecutors();
    m_dialup = std::make_unique<DialupService>(MakeSystemDialupPort(), executors.logic);
    auto* main = new CMainDlg(ClientServices{executors, *m_profile, *m_clock, *m_dialup}, *m_sounds);
    main->m_bHide = words.hide;
    main->m_bNoShow = words.noShow;
    if (!main->Create()) {
      delete main;
      InstallHelpLauncher(nullptr);
      return Fail();
    }
    SetTopWindow(main);
    m_main = main;
    m_statusIcon = std::make_unique<MainStatusIcon>(*main, CommonSettings::Load(*m_profile).m_statusIcon != 0);
    InstallDesktopHooks({StatusIcon::HostPresent, [this](bool on) { if (m_statusIcon) m_statusIcon->Enable(on); }});
    if (m_instance) m_instance->Listen(executors.io, executors.logic, [this] {
      if (m_main) m_main->ShowAndRaise();
    });
    return true;
  }

  // The status of a start that ran no window: 0 when a running copy took over, 1 when it failed.
  int StartStatus() const { return m_startStatus; }

  // The end of the program, after the main loop and before wx shuts down (main never runs
  // OnExit): each thing goes before what it uses.
  void Shutdown() {
    // The main window went with its windows and its station, which released the clients and
    // stopped the servers; a released
    // request unwinds on the logic thread, which is wx's loop, and may still reach the dial-up
    // service and the network thread.
    RunEventsUntil([] { return TimeClient::RunningRequests() == 0; }, kRequestsEndBound);
    InstallDesktopHooks({});
    m_statusIcon.reset();
    InstallHelpLauncher(nullptr);
    m_dialup.reset();
    // The profile's writer thread ends here: a save still on it then posts nothing to a wx on its way out.
    m_profile.reset();
    // Closed on the network thread, which therefore still runs.
    m_instance.reset();
    if (m_runtime) m_runtime->Stop();
  }

 private:
  bool Fail() {
    m_startStatus = 1;
    return false;
  }

  // Declared in the order they depend on each other, so that they would also go in the right
  // order without Shutdown: the single-instance listener before the network thread it runs on.
  int m_startStatus = 0;
  std::unique_ptr<GuiRuntime> m_runtime;
  std::unique_ptr<Profile> m_profile;
  std::unique_ptr<Clock> m_clock;
  std::unique_ptr<SoundPlayer> m_sounds;
  std::unique_ptr<DialupService> m_dialup;
  std::unique_ptr<SingleInstance> m_instance;
  wxWeakRef<CMainDlg> m_main;
  std::unique_ptr<MainStatusIcon> m_statusIcon;  // reaches the main window only through a weak reference
};

}  // namespace horavex

wxIMPLEMENT_APP_NO_MAIN(horavex::CTimeApp);

int main(int argc, char** argv) {
  horavex::SetUpLanguage();
  // Before anything of the toolkit: the usage needs no screen.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::cout << horavex::Usage();
      return 0;
    }
  }
  // The windows draw with cairo alone; without this GTK may load the software GL stack (tens of
  // megabytes) on a screen without hardware GL. A user's own choice of GDK_GL stands.
  setenv("GDK_GL", "disable", 0);
  // Without a screen the toolkit would only complain in its own words: say it in one line.
  wxLog::EnableLogging(false);
  if (!wxEntryStart(argc, argv)) {
    std::fputs(horavex::Tr("horavex: geen beeldscherm gevonden (is DISPLAY gezet?); het venster kan niet openen\n"), stderr);
    return 1;
  }
  wxLog::EnableLogging(true);
  auto* app = static_cast<horavex::CTimeApp*>(wxTheApp);
  const int status = app->CallOnInit() ? app->OnRun() : app->StartStatus();
  app->Shutdown();
  wxEntryCleanup();
  return status;
}
