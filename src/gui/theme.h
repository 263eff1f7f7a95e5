// The look every window of the program shares: the template font, the background tiled from the
// program's pattern (bitmap 146), dark blue text on what shows the tile, hiding instead of
// closing, and F1 for the window's help topic.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include <wx/bmpbndl.h>
#include <wx/colour.h>
#include <wx/font.h>

class wxTopLevelWindow;
class wxWindow;

namespace horavex {

// The text colour of controls that show the tile.
inline const wxColour kThemeText(0, 0, 200);

// 8 point sans: the size the dialog-unit layouts were drawn for.
wxFont TemplateFont();

// Tiles the background, colours the text of every child except those in `themeColours` (and
// edits, spin controls and lists, which keep the theme's colours), and hides the window instead
// of closing it. Call once the children exist.
void ApplyTheme(wxTopLevelWindow& window, std::initializer_list<wxWindow*> themeColours);

// Makes every button of `window` show its own label. wx hands GTK a button whose label is the
// toolkit's word for its id ("Annuleer" for Cancel, "&Ja" for Yes) as a stock button, which GTK
// then words in the locale's language instead: "Cancel", "Yes" under C. Call once the buttons exist.
void ShowOwnButtonLabels(wxWindow& window);

// The program's artwork `name` (res/art/<name>, an SVG) drawn at `size`; an empty bundle when the
// artwork is missing, so the window shows without it.
wxBitmapBundle Artwork(std::string_view name, wxSize size);

// Gives `window` GTK CSS of its own: GTK sizes controls for a finger, and the templates' few dialog
// units need less. wx offers this only from inside its classes.
void ApplyGtkCss(wxWindow& window, const char* css);

// A text of the logic as a label: the logic ends lines with CR LF, GTK with LF alone.
wxString LogicText(const std::string& text);

// F1 anywhere in `window` calls `onHelp`.
void BindHelpKey(wxTopLevelWindow& window, std::function<void()> onHelp);

}  // namespace horavex
