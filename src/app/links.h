// The project's own addresses: the main window's mail and web buttons, the about window's credits
// and the desktop entry's application id all take them from here.
#pragma once

#include <string_view>

namespace horavex {

inline constexpr std::string_view kWebAddress = "https://horavex.nl/";
inline constexpr std::string_view kContactAddress = "info@horavex.nl";
// The mail link the information button opens: a new message to the project with this subject.
inline constexpr std::string_view kMailLink = "mailto:info@horavex.nl?SUBJECT=Info aanvraag Horavex";
// Reverse DNS under the web address: desktop entry, AppStream id, D-Bus names.
inline constexpr std::string_view kApplicationId = "nl.horavex.Horavex";

}  // namespace horavex
