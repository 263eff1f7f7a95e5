// The port field of the server and client windows: one spin control over the rectangles of a
// port edit and its up-down control. What it shows is what the window uses: a stored port as it
// stands (70000, -1) and a typed text as typed, never a number GTK clamped it to.
#pragma once

#include <string>

#include <wx/spinctrl.h>

namespace horavex {

class PortSpin : public wxSpinCtrl {
 public:
  PortSpin(wxWindow* parent, wxPoint position, wxSize size, const char* name);

  // Shows `text` as it stands, whatever GTK would let a user type; the arrows step from the
  // nearest port.
  void SetText(const std::string& text);
  // The text shown.
  std::string Text() const { return GetTextValue().utf8_string(); }

 private:
  // GTK reads the text into its number (input) and writes its number back as the text (output)
  // when the field loses the focus or Enter is pressed, clamped to 1 to 65535. Here a text that is
  // no port reads as the number the field had, so reading changes nothing, and the number is
  // written back only when it moved (an arrow's step): the text stays as typed.
  static int OnGtkInput(void* spin, double* value, void* self);
  static int OnGtkOutput(void* spin, void* self);
  double Number() const;

  double shown_ = 1;  // GTK's number when it was last written back
};

// Replaces the template's placeholder `name` (an XRC "unknown" control, which gives the
// rectangle and the place in the tab order) by a port field made at that size and compacted
// before GTK ever lays it out; null when the placeholder is missing.
PortSpin* PlacePortSpin(wxWindow& window, const char* name);

}  // namespace horavex
