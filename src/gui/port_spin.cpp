#include "gui/port_spin.h"

#include <wx/spinctrl.h>

namespace horavex {

wxSpinCtrl* PlacePortSpin(wxWindow& window, const char* name) {
  // XRC names the container it makes for an "unknown" control after the control.
  wxWindow* placeholder = window.FindWindow(wxString(name) + "_container");
  if (!placeholder) return nullptr;
  auto* spin = new wxSpinCtrl(&window, wxID_ANY, wxEmptyString, placeholder->GetPosition(), placeholder->GetSize(),
                              wxSP_ARROW_KEYS | wxALIGN_RIGHT, 0, 65535, 0, name);
  spin->MoveAfterInTabOrder(placeholder);
  placeholder->Destroy();
  return spin;
}

}  // namespace horavex
