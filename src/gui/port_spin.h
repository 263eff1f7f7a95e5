// The port field of the server and client windows: one spin control over the rectangles of a
// port edit and its up-down control.
#pragma once

class wxSpinCtrl;
class wxWindow;

namespace horavex {

// Replaces the template's placeholder `name` (an XRC "unknown" control, which gives the
// rectangle and the place in the tab order) by a spin control of 0 to 65535 made at that size
// and compacted before GTK ever lays it out; null when the placeholder is missing.
wxSpinCtrl* PlacePortSpin(wxWindow& window, const char* name);

}  // namespace horavex
