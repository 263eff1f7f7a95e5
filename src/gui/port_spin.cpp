#include "gui/port_spin.h"

#include <algorithm>
#include <cstdlib>

#include <glib-object.h>

#include "protocol/window_texts.h"

namespace horavex {

PortSpin::PortSpin(wxWindow* parent, wxPoint position, wxSize size, const char* name)
    : wxSpinCtrl(parent, wxID_ANY, wxEmptyString, position, size, wxSP_ARROW_KEYS | wxALIGN_RIGHT, 1, 65535, 1, name) {
  GObject* spin = G_OBJECT(GetHandle());
  g_signal_connect(spin, "input", G_CALLBACK(&PortSpin::OnGtkInput), this);
  g_signal_connect(spin, "output", G_CALLBACK(&PortSpin::OnGtkOutput), this);
}

void PortSpin::SetText(const std::string& text) {
  GObject* spin = G_OBJECT(GetHandle());
  // The number first (its text is then replaced): the arrows step from where the text is.
  const long long number = std::clamp(std::strtoll(text.c_str(), nullptr, 10), 1LL, 65535LL);
  g_object_set(spin, "value", static_cast<double>(number), nullptr);
  // A numeric GTK spin button would drop the sign of a stored negative port.
  g_object_set(spin, "numeric", FALSE, nullptr);
  g_object_set(spin, "text", text.c_str(), nullptr);
  g_object_set(spin, "numeric", TRUE, nullptr);
}

double PortSpin::Number() const {
  double number = 0;
  g_object_get(G_OBJECT(GetHandle()), "value", &number, nullptr);
  return number;
}

int PortSpin::OnGtkInput(void*, double* value, void* self) {
  auto* field = static_cast<PortSpin*>(self);
  const std::optional<unsigned> port = PortFromText(field->Text());
  *value = port ? *port : field->Number();
  return TRUE;
}

int PortSpin::OnGtkOutput(void*, void* self) {
  auto* field = static_cast<PortSpin*>(self);
  const double number = field->Number();
  const bool moved = number != field->shown_;
  field->shown_ = number;
  return !moved && !PortFromText(field->Text());  // TRUE: the text stays
}

PortSpin* PlacePortSpin(wxWindow& window, const char* name) {
  // XRC names the container it makes for an "unknown" control after the control.
  wxWindow* placeholder = window.FindWindow(wxString(name) + "_container");
  if (!placeholder) return nullptr;
  auto* spin = new PortSpin(&window, placeholder->GetPosition(), placeholder->GetSize(), name);
  spin->MoveAfterInTabOrder(placeholder);
  placeholder->Destroy();
  return spin;
}

}  // namespace horavex
