// The language of every text Horavex shows. Dutch texts are the source texts; other languages come
// from gettext catalogs of the "horavex" domain. The choice follows the environment as a Linux
// program's does, except that C, POSIX and nothing at all mean Dutch, so that services, scripts and
// tests see the texts they always saw. Nothing written to a file or sent over the network goes
// through here: only what a person reads.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace horavex {

enum class Language { kDutch, kEnglish };

// Reads one environment variable; null when it is not set.
using EnvironmentReader = std::function<const char*(const char*)>;

// The language the first set, non-empty one of LANGUAGE, LC_ALL, LC_MESSAGES and LANG names (of
// LANGUAGE's list, its first entry): Dutch for nl*, C, C.*, POSIX and when none is set; English for
// every other language, since English is the only catalog there is.
Language ChooseLanguage(const EnvironmentReader& environment);
// The language of this process's environment.
Language ChooseLanguage();

// The language's code in catalog and help folder names: "nl", "en".
std::string_view LanguageCode(Language language);

// The folder of the catalogs: <exe dir>/locale in the build tree, <exe dir>/../share/locale once
// installed; empty when neither holds Horavex's catalog.
std::filesystem::path FindLocaleDir();

// Makes Tr() answer in `language` from the catalogs under `localeDir`. Call it at the start of
// main(), before any other thread runs (it may write LANGUAGE), and in a windowed program once more
// after the toolkit set the process locale (GTK's setlocale(LC_ALL, "") can undo LC_MESSAGES); the
// second call writes no environment. Returns whether texts are translated: false for Dutch, and
// when the catalog cannot be used (then Tr() keeps the Dutch texts).
bool SetUpLanguage(Language language, const std::filesystem::path& localeDir);
// SetUpLanguage(ChooseLanguage(), FindLocaleDir()).
bool SetUpLanguage();
// The language SetUpLanguage chose; Dutch before it ran.
Language CurrentLanguage();

// `text` (a Dutch source text, marked for xgettext) in the current language. The result lives as
// long as the process. format_arg: a printf format keeps its checks through Tr().
__attribute__((format_arg(1))) const char* Tr(const char* text);
// Tr() for a text whose lines end in \r\n, as the windows' message fields keep them: `text` is
// written (and looked up) with \n, the result has \r\n. gettext's tools refuse \r in a text.
std::string TrCrlf(const char* text);
// The singular or plural `text` for count `n` in the current language (Dutch: plural unless n == 1).
const char* TrPlural(const char* singular, const char* plural, unsigned long n);
// Marks a text in a table for xgettext without translating it; Tr() translates it where it is shown.
constexpr const char* TrNoop(const char* text) { return text; }

// The help book of `language`, relative to the data folder: "help/horavex.hhp" (Dutch) or
// "help/en/horavex.hhp"; the topics' page names are the same in every book.
std::string_view HelpBookFile(Language language);

}  // namespace horavex
