// The about window: a caption-less window whose whole client area is the star field with the
// credits crawl. No visible control leads to it; the main window opens it.
#pragma once

class wxWindow;

namespace horavex {

// Opens the about window over `owner`, which is disabled until Enter or Escape closes it; returns
// at once. Every opening starts the crawl again; the star field continues its random sequence.
void OpenAboutWindow(wxWindow* owner);

}  // namespace horavex
