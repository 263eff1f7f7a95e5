#include "gui/window_alpha.h"

#include <wx/toplevel.h>

#include "common/transparency.h"

namespace horavex {
namespace {

void SetAlpha(wxTopLevelWindow& window, std::optional<std::uint8_t> alpha) {
  // Without a compositor GTK can only darken the window: that counts as no translucency.
  if (alpha && window.CanSetTransparent()) window.SetTransparent(*alpha);
}

}  // namespace

void ApplyTransparency(Profile& profile, std::string_view windowName, wxTopLevelWindow& window) {
  SetAlpha(window, WindowAlpha(profile, windowName));
}

void SetWindowAlpha(wxTopLevelWindow& window, unsigned alpha) { SetAlpha(window, TranslucentAlpha(alpha)); }

}  // namespace horavex
