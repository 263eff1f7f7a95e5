// The help launcher of the windowed program: topics open in a wxHtmlHelpController over the help
// book built from res/help (horavex.hhp).
#pragma once

#include <filesystem>
#include <memory>
#include <string_view>

#include "common/help_launcher.h"

class wxWindow;

namespace horavex {

// Makes a viewer over `book` (a .hhp file); it makes nothing when the book is missing or unreadable.
HelpLauncher::ViewerMaker HtmlHelpViewerMaker(std::filesystem::path book);

// Sets the launcher ShowHelpTopic uses; null removes it (before wx shuts down, since the viewer
// holds windows). The program installs one over FindDataFile("help/horavex.hhp").
void InstallHelpLauncher(std::unique_ptr<HelpLauncher> launcher);
// The installed launcher, null when none.
HelpLauncher* InstalledHelpLauncher();

// Shows `topic`, a page of the help book, in a help window owned by `owner`; whether one shows it
// (false at once without an installed launcher or a book).
bool ShowHelpTopic(wxWindow* owner, std::string_view topic);

}  // namespace horavex
