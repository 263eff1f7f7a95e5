// The window templates of res/ui, compiled into the program.
#pragma once

#include <string_view>

#include <wx/gdicmn.h>

class wxDialog;
class wxWindow;

namespace horavex {

// Creates `dialog` from the template `name`, owned by `parent`, hidden, with the client area of
// `size` in the template's dialog units; false when there is no such template.
bool LoadTemplate(wxDialog& dialog, wxWindow* parent, std::string_view name, wxSize size);

}  // namespace horavex
