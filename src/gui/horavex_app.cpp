// The windowed program. The logic runs on the window thread, the sockets on a network thread
// that is joined after the windows have gone and before wx shuts down.
#include <memory>

#include <wx/app.h>

#include "client/time_client.h"
#include "common/dialup.h"
#include "common/help_launcher.h"
#include "common/profile.h"
#include "gui/gui_runtime.h"
#include "gui/help.h"
#include "gui/resources.h"
#include "gui/dashboard_frame.h"
#include "platform/clock.h"
#include "platform/dialup_port.h"

namespace horavex {

class HoravexApp : public wxApp {
 public:
  bool OnInit() override {
    profile_ = std::make_unique<Profile>(Profile::DefaultPath("horavex"));
    clock_ = MakeSystemClock();
    runtime_ = std::make_unique<GuiRuntime>();
    InstallHelpLauncher(std::make_unique<HelpLauncher>(HtmlHelpViewerMaker(FindDataFile("help/horavex.hhp"))));
    const Executors executors = runtime_->GetExecutors();
    dialup_ = std::make_unique<DialupService>(MakeSystemDialupPort(), executors.logic);
    auto* frame = new DashboardFrame(ServerServices{executors, *profile_, *clock_},
                                     ClientServices{executors, *profile_, *clock_, *dialup_});
    frame->Show();
    return true;
  }

  int OnExit() override {
    InstallHelpLauncher(nullptr);
    // The windows, and the clients with them, are gone; the dial-up service goes before the
    // logic's context.
    dialup_.reset();
    runtime_->Stop();
    return wxApp::OnExit();
  }

 private:
  std::unique_ptr<Profile> profile_;
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<GuiRuntime> runtime_;
  std::unique_ptr<DialupService> dialup_;
};

}  // namespace horavex

wxIMPLEMENT_APP(horavex::HoravexApp);
