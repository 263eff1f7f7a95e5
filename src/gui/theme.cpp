#include "gui/theme.h"

#include <gtk/gtk.h>

#include <algorithm>

#include <wx/anybutton.h>
#include <wx/button.h>
#include <wx/bmpbndl.h>
#include <wx/dcbuffer.h>
#include <wx/choice.h>
#include <wx/combo.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>
#include <wx/panel.h>
#include <wx/settings.h>
#include <wx/spinctrl.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>

#include "gui/resources.h"

namespace horavex {
namespace {

// Bitmap 146, read once; an invalid bitmap when the artwork is missing (plain background then).
const wxBitmap& BackgroundTile() {
  static const wxBitmap tile = Artwork("background.svg", wxSize(544, 243)).GetBitmap(wxSize(544, 243));
  return tile;
}

void PaintTiled(wxWindow& window) {
  wxAutoBufferedPaintDC dc(&window);
  const wxBitmap& tile = BackgroundTile();
  const wxSize area = window.GetClientSize();
  if (!tile.IsOk()) {
    dc.SetBackground(window.GetBackgroundColour());
    dc.Clear();
    return;
  }
  for (int y = 0; y < area.y; y += tile.GetHeight())
    for (int x = 0; x < area.x; x += tile.GetWidth()) dc.DrawBitmap(tile, x, y);
}

// Push buttons keep the theme's text, as the platform the windows were drawn for did: a disabled
// button has to look disabled.
bool KeepsThemeColours(wxWindow* child) {
  return !child->IsEnabled() || dynamic_cast<wxAnyButton*>(child) || dynamic_cast<wxTextCtrl*>(child) || dynamic_cast<wxSpinCtrl*>(child) || dynamic_cast<wxListBox*>(child) ||
         dynamic_cast<wxListCtrl*>(child) || dynamic_cast<wxChoice*>(child) || dynamic_cast<wxComboCtrl*>(child);
}

// wx's CSS entry point, reached from a class of its own.
struct CssAccess : wxWindow {
  static void Apply(wxWindow& window, const char* css) {
    void (wxWindow::*apply)(const char*) = &CssAccess::GTKApplyCssStyle;
    (window.*apply)(css);
  }
};

}  // namespace

wxBitmapBundle Artwork(std::string_view name, wxSize size) {
  const auto path = FindDataFile(std::string("art/").append(name));
  return path.empty() ? wxBitmapBundle() : wxBitmapBundle::FromSVGFile(path.string(), size);
}

void ApplyGtkCss(wxWindow& window, const char* css) { CssAccess::Apply(window, css); }

wxFont TemplateFont() { return wxFont(wxFontInfo(8).Family(wxFONTFAMILY_SWISS)); }

void ApplyTheme(wxTopLevelWindow& window, std::initializer_list<wxWindow*> themeColours) {
  window.SetBackgroundStyle(wxBG_STYLE_PAINT);
  window.Bind(wxEVT_PAINT, [&window](wxPaintEvent&) { PaintTiled(window); });
  for (wxWindow* child : window.GetChildren()) {
    // GTK's spin buttons put two wide buttons beside a padded entry as tall as a finger: in the
    // few dialog units a port's edit and its arrows had there is then no room for the digits, and
    // GTK asserts at every layout below its minimum.
    if (auto* spin = dynamic_cast<wxSpinCtrl*>(child))
      ApplyGtkCss(*spin, "spinbutton button { min-width: 0; min-height: 0; padding: 0 2px; } "
                         "spinbutton entry { min-width: 0; min-height: 0; padding-left: 2px; padding-right: 2px; }");
    // A flat button as wide as its word gets no padding: GTK's would leave the word no room.
    if (dynamic_cast<wxAnyButton*>(child) && child->HasFlag(wxBORDER_NONE) && child->HasFlag(wxBU_EXACTFIT))
      ApplyGtkCss(*child, "button { min-width: 0; min-height: 0; padding: 0; }");
    const bool named = std::find(themeColours.begin(), themeColours.end(), child) != themeColours.end();
    // GTK draws a panel over its parent's background: one that keeps the theme's colours needs its own.
    if (named && dynamic_cast<wxPanel*>(child)) child->SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
    if (named || KeepsThemeColours(child)) continue;
    child->SetForegroundColour(kThemeText);
  }
  // A modeless window lives as long as its owner: the close box only hides it.
  window.Bind(wxEVT_CLOSE_WINDOW, [&window](wxCloseEvent& event) {
    if (!event.CanVeto()) return event.Skip();
    event.Veto();
    window.Hide();
  });
}

wxString LogicText(const std::string& text) {
  std::string lines = text;
  lines.erase(std::remove(lines.begin(), lines.end(), '\r'), lines.end());
  return wxString::FromUTF8(lines);
}

void BindHelpKey(wxTopLevelWindow& window, std::function<void()> onHelp) {
  window.Bind(wxEVT_CHAR_HOOK, [onHelp = std::move(onHelp)](wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_F1 && event.GetModifiers() == wxMOD_NONE) onHelp();
    else event.Skip();
  });
}

void ShowOwnButtonLabels(wxWindow& window) {
  for (wxWindow* child : window.GetChildren()) {
    ShowOwnButtonLabels(*child);
    auto* button = dynamic_cast<wxButton*>(child);
    if (!button || !GTK_IS_BUTTON(button->GetHandle())) continue;
    GtkButton* gtk = GTK_BUTTON(button->GetHandle());
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    if (!gtk_button_get_use_stock(gtk)) continue;
    gtk_button_set_use_stock(gtk, FALSE);
    G_GNUC_END_IGNORE_DEPRECATIONS
    wxString label = button->GetLabel();
    label.Replace("&", "_");  // GTK's mnemonic sign
    gtk_button_set_label(gtk, label.utf8_str());
    gtk_button_set_use_underline(gtk, TRUE);
  }
}

}  // namespace horavex
