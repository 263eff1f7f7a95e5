// The project's own addresses: the main window's mail and web buttons, the about window's credits
// and the desktop entry's application id all take them from here.
#pragma once

#include <string_view>

namespace horavex {

inline constexpr std::string_view kWebAddress = "https://horavex.nl/";
inline constexpr std::string_view kContactAddress = "info@horavex.nl";
// The mail link the information button opens: a new message to the project with the subject
// "Info aanvraag Horavex", its spaces encoded as a URI needs them (a mail program may cut the
// subject at the first raw space).
inline constexpr std::string_view kMailLink = "mailto:info@horavex.nl?SUBJECT=Info%20aanvraag%20Horavex";
// Reverse DNS under the web address: desktop entry, AppStream id, D-Bus names.
inline constexpr std::string_view kApplicationId = "nl.horavex.Horavex";

}  // namespace horavex
