#include "gui/translations.h"

#include <wx/translation.h>

namespace horavex {

void UseToolkitTexts(Language language, const std::filesystem::path& localeDir) {
  auto* translations = new wxTranslations();
  if (language == Language::kDutch) {
    translations->SetLanguage(wxLANGUAGE_DUTCH);
  } else {
    translations->SetLanguage(wxString::FromUTF8(std::string(LanguageCode(language))));
  }
  translations->AddStdCatalog();  // none for English: the toolkit's source texts
  if (language != Language::kDutch && !localeDir.empty()) {
    wxFileTranslationsLoader::AddCatalogLookupPathPrefix(wxString::FromUTF8(localeDir.string()));
    // The source texts are Dutch: with wx's default (English) it would skip the English catalog.
    translations->AddCatalog("horavex", wxLANGUAGE_DUTCH);
  }
  wxTranslations::Set(translations);
}

}  // namespace horavex
