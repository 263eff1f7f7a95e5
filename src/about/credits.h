// The credits the about window lets rise through its star field: 32 lines in their places, a
// blank entry for each blank line. Each fits the original 50-byte slot (49 characters). The words
// are marked only: the window shows them through Tr().
#pragma once

#include <algorithm>
#include <array>
#include <string_view>

#include "app/links.h"
#include "common/language.h"

namespace horavex {

inline constexpr std::array<std::string_view, 32> kCredits = {
    TrNoop("Eens lang, lang, heel lang "),  // the trailing blank is part of the line and of its centring
    TrNoop("geleden"),
    "",
    TrNoop("In een ver, ver, ver"),
    TrNoop("sterrenstelsel"),
    "",
    TrNoop("Op een planeet genaamd Aarde"),
    TrNoop("in het land Nederland"),
    "",
    TrNoop("Is door een programeurtje"),
    TrNoop("in het mooie Utrecht"),
    TrNoop("welke"),
    "",
    TrNoop("de makers van Horavex"),
    "",
    TrNoop("wordt genoemd"),
    TrNoop("dit programaatje geschreven"),
    TrNoop("dat Horavex mag heten"),
    "",
    TrNoop("en dat is gratis, heel gratis"),
    "",
    TrNoop("En als je kijkt op"),
    "",
    kWebAddress,
    "",
    TrNoop("Dan kan het zijn"),
    TrNoop("dat er een nieuwe versie is"),
    "",
    TrNoop("Moge de Tijd met je zijn"),
    TrNoop("(en met mij ook....)"),
    "",
    TrNoop("...en Horavex ook...."),
};

static_assert(std::ranges::all_of(kCredits, [](std::string_view line) { return line.size() <= 49; }),
              "a credits line holds at most 49 characters");

}  // namespace horavex
