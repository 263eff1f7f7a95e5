#include "about/window/about_dialog.h"

namespace horavex {

void OpenAboutWindow(wxWindow*) {}

}  // namespace horavex
