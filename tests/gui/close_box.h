// The close box on a virtual screen: Xvfb runs no window manager, so the test sends what one
// would send when the box is pressed.
#pragma once

namespace horavex::testing {

// Asks the top-level X window `window` to close (WM_DELETE_WINDOW); false without a display.
bool PressCloseBox(unsigned long window);

}  // namespace horavex::testing
