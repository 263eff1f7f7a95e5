// Arbitrary profile bytes through the editor that writes keys, against SimpleIni, the parser that
// reads them: after a write the reader must find the values written, and every other key of every
// section exactly as before.
#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include "common/profile_edit.h"
#include "fuzz_check.h"

namespace horavex::fuzz {
namespace {

using Values = std::map<std::pair<std::string, std::string>, std::string>;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return s;
}

// Every key of every section as the program's reader reads it (a NUL taken for a line end).
Values ReadAll(std::string bytes) {
  std::replace(bytes.begin(), bytes.end(), '\0', '\n');
  CSimpleIniA ini;
  ini.SetSpaces(false);
  Require(ini.LoadData(bytes.data(), bytes.size()) >= 0, "parses");
  Values values;
  CSimpleIniA::TNamesDepend sections, keys;
  ini.GetAllSections(sections);
  for (const auto& section : sections) {
    ini.GetAllKeys(section.pItem, keys);
    for (const auto& key : keys)
      values[{Lower(section.pItem), Lower(key.pItem)}] = ini.GetValue(section.pItem, key.pItem);
  }
  return values;
}

std::string Trimmed(std::string_view v) {
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
  return std::string(v);
}

}  // namespace
}  // namespace horavex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace horavex;
  if (size < 1) return 0;
  // The first byte picks what is written; the rest is the file.
  static const char* const kSections[] = {"S", "s", "T", "S T", "a b"};
  static const char* const kKeys[] = {"K", "k", "L", "Key 2", "M"};
  static const char* const kValues[] = {"1", "", " v ", "a=b", "[x]", "; not a comment"};
  const std::uint8_t pick = data[0];
  const std::string section = kSections[pick % 5];
  std::vector<ProfileEntry> entries{{kKeys[(pick / 5) % 5], kValues[(pick / 25) % 6]}};
  if (pick & 0x80) entries.push_back({kKeys[(pick / 3) % 5], kValues[pick % 6]});
  const std::string before(reinterpret_cast<const char*>(data + 1), size - 1);

  const std::string after = EditProfileBytes(before, section, entries);
  fuzz::Values expected = fuzz::ReadAll(before);
  for (const ProfileEntry& e : entries) expected[{fuzz::Lower(section), fuzz::Lower(e.key)}] = fuzz::Trimmed(e.value);
  fuzz::Require(fuzz::ReadAll(after) == expected, "the written keys read back, every other key as before");
  return 0;
}
