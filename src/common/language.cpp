#include "common/language.h"

#include <libintl.h>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace horavex {
namespace {

constexpr const char* kDomain = "horavex";

std::atomic<Language> current{Language::kDutch};

// The locale names that mean "no particular language": C, POSIX and C with a codeset (C.UTF-8).
bool IsNeutralLocale(std::string_view name) {
  return name == "C" || name == "POSIX" || name.starts_with("C.") || name.starts_with("POSIX.");
}

Language LanguageOfLocale(std::string_view name) {
  name.remove_prefix(std::min(name.find_first_not_of(':'), name.size()));
  name = name.substr(0, name.find(':'));  // LANGUAGE lists languages by preference
  if (name.empty() || IsNeutralLocale(name) || name.starts_with("nl")) return Language::kDutch;
  return Language::kEnglish;
}

// glibc's gettext answers from the catalogs only while LC_MESSAGES is not C or POSIX (and then
// follows LANGUAGE). Only LC_MESSAGES is touched: numbers, dates and the like in files and on the
// wire must not change with the language. C.UTF-8 is always there on Debian, whichever locales are
// generated; the environment's own locale serves when it is not neutral.
bool MessagesLocaleAllowsCatalogs() {
  const char* now = std::setlocale(LC_MESSAGES, nullptr);
  if (now != nullptr && !IsNeutralLocale(now)) return true;
  if (const char* own = std::setlocale(LC_MESSAGES, ""); own != nullptr && !IsNeutralLocale(own)) return true;
  if (std::setlocale(LC_MESSAGES, "C.UTF-8") != nullptr) return true;
  return std::setlocale(LC_MESSAGES, "C.utf8") != nullptr;
}

}  // namespace

Language ChooseLanguage(const EnvironmentReader& environment) {
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = environment(name);
    if (value != nullptr && *value != '\0') return LanguageOfLocale(value);
  }
  return Language::kDutch;
}

Language ChooseLanguage() {
  return ChooseLanguage([](const char* name) -> const char* { return std::getenv(name); });
}

std::string_view LanguageCode(Language language) { return language == Language::kEnglish ? "en" : "nl"; }

std::filesystem::path FindLocaleDir() {
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  const auto dir = exe.parent_path();
  for (const auto& candidate : {dir / "locale", dir.parent_path() / "share" / "locale"}) {
    if (std::filesystem::is_directory(candidate, error)) return candidate;
  }
  return {};
}

bool SetUpLanguage(Language language, const std::filesystem::path& localeDir) {
  current = Language::kDutch;
  if (language == Language::kDutch || localeDir.empty()) return false;
  const std::string code(LanguageCode(language));
  std::error_code error;
  if (!std::filesystem::exists(localeDir / code / "LC_MESSAGES" / (std::string(kDomain) + ".mo"), error)) return false;
  if (!MessagesLocaleAllowsCatalogs()) return false;
  // The lookup follows LANGUAGE; it names the chosen language alone, so that a list such as
  // "de:en" or a locale without a catalog cannot pick something else.
  // Written only when it differs: a second call, once the toolkit's threads run, must not write
  // the environment under their getenv().
  if (const char* now = std::getenv("LANGUAGE"); now == nullptr || code != now) setenv("LANGUAGE", code.c_str(), 1);
  if (bindtextdomain(kDomain, localeDir.c_str()) == nullptr) return false;
  bind_textdomain_codeset(kDomain, "UTF-8");
  textdomain(kDomain);
  current = language;
  return true;
}

bool SetUpLanguage() { return SetUpLanguage(ChooseLanguage(), FindLocaleDir()); }

Language CurrentLanguage() { return current; }

const char* Tr(const char* text) { return current == Language::kDutch ? text : dgettext(kDomain, text); }

std::string TrCrlf(const char* text) {
  std::string lines;
  for (const char* c = Tr(text); *c != '\0'; ++c) {
    if (*c == '\n') lines += '\r';
    lines += *c;
  }
  return lines;
}

const char* TrPlural(const char* singular, const char* plural, unsigned long n) {
  if (current == Language::kDutch) return n == 1 ? singular : plural;
  return dngettext(kDomain, singular, plural, n);
}

std::string_view HelpBookFile(Language language) {
  return language == Language::kEnglish ? "help/en/horavex.hhp" : "help/horavex.hhp";
}

}  // namespace horavex
