// The credits the about window lets rise through its star field: 32 lines in their places, a
// blank entry for each blank line. Each fits the original 50-byte slot (49 characters).
#pragma once

#include <algorithm>
#include <array>
#include <string_view>

#include "app/links.h"

namespace horavex {

inline constexpr std::array<std::string_view, 32> kCredits = {
    "Eens lang, lang, heel lang ",  // the trailing blank is part of the line and of its centring
    "geleden",
    "",
    "In een ver, ver, ver",
    "sterrenstelsel",
    "",
    "Op een planeet genaamd Aarde",
    "in het land Nederland",
    "",
    "Is door een programeurtje",
    "in het mooie Utrecht",
    "welke",
    "",
    "de makers van Horavex",
    "",
    "wordt genoemd",
    "dit programaatje geschreven",
    "dat Horavex mag heten",
    "",
    "en dat is gratis, heel gratis",
    "",
    "En als je kijkt op",
    "",
    kWebAddress,
    "",
    "Dan kan het zijn",
    "dat er een nieuwe versie is",
    "",
    "Moge de Tijd met je zijn",
    "(en met mij ook....)",
    "",
    "...en Horavex ook....",
};

static_assert(std::ranges::all_of(kCredits, [](std::string_view line) { return line.size() <= 49; }),
              "a credits line holds at most 49 characters");

}  // namespace horavex
