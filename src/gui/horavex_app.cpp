// The windowed program. The logic runs on the window thread, the sockets on a network thread
// that is joined after the windows have gone and before wx shuts down.
#include <memory>

#include <wx/app.h>

#include "common/help_launcher.h"
#include "common/profile.h"
#include "gui/gui_runtime.h"
#include "gui/help.h"
#include "gui/resources.h"
#include "gui/server_frame.h"
#include "platform/clock.h"

namespace horavex {

class HoravexApp : public wxApp {
 public:
  bool OnInit() override {
    profile_ = std::make_unique<Profile>(Profile::DefaultPath("horavex"));
    clock_ = MakeSystemClock();
    runtime_ = std::make_unique<GuiRuntime>();
    InstallHelpLauncher(std::make_unique<HelpLauncher>(HtmlHelpViewerMaker(FindDataFile("help/horavex.hhp"))));
    auto* frame = new ServerFrame(ServerServices{runtime_->GetExecutors(), *profile_, *clock_});
    frame->Show();
    return true;
  }

  int OnExit() override {
    InstallHelpLauncher(nullptr);
    runtime_->Stop();
    return wxApp::OnExit();
  }

 private:
  std::unique_ptr<Profile> profile_;
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<GuiRuntime> runtime_;
};

}  // namespace horavex

wxIMPLEMENT_APP(horavex::HoravexApp);
