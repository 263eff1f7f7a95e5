// Translucency of the program's windows. Where the display cannot blend windows (no compositor)
// a window stays opaque and nothing is said.
#pragma once

#include <string_view>

class wxTopLevelWindow;

namespace horavex {

class Profile;

// Applies the opacity "Transparant" of `windowName`'s section asks for; call before the window is shown.
void ApplyTransparency(Profile& profile, std::string_view windowName, wxTopLevelWindow& window);
// Makes `window` translucent with `alpha` when it lies in 1 to 254; any other value changes
// nothing (255 does not make a translucent window opaque again).
void SetWindowAlpha(wxTopLevelWindow& window, unsigned alpha);

}  // namespace horavex
