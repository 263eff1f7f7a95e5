// The windows' texts in the chosen language, through wxTranslations: the toolkit's own texts (stock
// buttons, the help viewer) and Horavex's catalog, which wx's _() and the window templates read.
#pragma once

#include <filesystem>

#include "common/language.h"

namespace horavex {

// Installs wx's translations for `language`: the toolkit's Dutch catalog for Dutch (English is its
// source language) and Horavex's catalog under `localeDir` for every language but Dutch, Horavex's
// source language. Call once in OnInit, with CurrentLanguage() after SetUpLanguage(), so that the
// windows and the logic speak the same language.
void UseToolkitTexts(Language language, const std::filesystem::path& localeDir);

}  // namespace horavex
