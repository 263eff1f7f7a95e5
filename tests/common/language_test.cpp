// The language from the environment, and the texts of the logic in it.
#include "common/language.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace horavex::testing {
namespace {

struct LanguageRow {
  const char* name;
  std::map<std::string, std::string> environment;
  Language expected;
};

void PrintTo(const LanguageRow& row, std::ostream* os) { *os << row.name; }

class ChooseLanguageTest : public ::testing::TestWithParam<LanguageRow> {};

TEST_P(ChooseLanguageTest, FirstSetVariableDecides) {
  const auto& env = GetParam().environment;
  const Language chosen = ChooseLanguage([&env](const char* name) -> const char* {
    const auto it = env.find(name);
    return it == env.end() ? nullptr : it->second.c_str();
  });
  EXPECT_EQ(chosen, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ChooseLanguageTest,
    ::testing::Values(
        LanguageRow{"NothingSet", {}, Language::kDutch},
        LanguageRow{"Posix", {{"LC_ALL", "POSIX"}}, Language::kDutch},
        LanguageRow{"CUtf8", {{"LANG", "C.UTF-8"}}, Language::kDutch},
        LanguageRow{"Dutch", {{"LANG", "nl_NL.UTF-8"}}, Language::kDutch},
        LanguageRow{"OtherWithoutCatalog", {{"LANG", "de_DE"}}, Language::kEnglish},
        LanguageRow{"LanguageListFirstCounts", {{"LANGUAGE", "en:nl"}, {"LANG", "nl_NL.UTF-8"}}, Language::kEnglish},
        LanguageRow{"EmptyCountsAsUnset", {{"LANGUAGE", ""}, {"LC_ALL", ""}, {"LANG", "en"}}, Language::kEnglish},
        LanguageRow{"LcAllBeforeLcMessages", {{"LC_ALL", "nl_BE"}, {"LC_MESSAGES", "en_GB"}}, Language::kDutch},
        LanguageRow{"LcMessagesBeforeLang", {{"LC_MESSAGES", "C"}, {"LANG", "en_US"}}, Language::kDutch}),
    [](const auto& p) { return std::string(p.param.name); });

// Under LANG=C (as ctest runs), which glibc's gettext alone would leave untranslated.
TEST(SetUpLanguage, TranslatesFromTheBuildTreesCatalogAndDutchNeedsNone) {
  ASSERT_TRUE(SetUpLanguage(Language::kEnglish, HORAVEX_TEST_LOCALE_DIR));
  EXPECT_STREQ(Tr("a text without a translation"), "a text without a translation");
  EXPECT_EQ(TrCrlf("Oke\nTijd is ingesteld..."), "OK\r\nThe time is set...");
  EXPECT_STREQ(TrPlural("1 uur", "%lu uur", 1), "1 hour");
  EXPECT_FALSE(SetUpLanguage(Language::kDutch, HORAVEX_TEST_LOCALE_DIR));
  EXPECT_FALSE(SetUpLanguage(Language::kEnglish, "/nonexistent")) << "no catalog: the Dutch texts stay";
  EXPECT_EQ(CurrentLanguage(), Language::kDutch);
}

}  // namespace
}  // namespace horavex::testing
