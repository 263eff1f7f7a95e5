// The window templates of res/ui, compiled into the program.
#pragma once

#include <string_view>

class wxDialog;
class wxWindow;

namespace horavex {

// Creates `dialog` from the template `name`, owned by `parent`, hidden; false when there is no such template.
bool LoadTemplate(wxDialog& dialog, wxWindow* parent, std::string_view name);

}  // namespace horavex
