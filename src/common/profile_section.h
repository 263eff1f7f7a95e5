// The one shape of a settings struct: it names each key of its section once, in the order the
// keys are written, bound to a field whose initial value is the key's default.
//
//   struct S {
//     int m_level = 4;
//     std::string m_name;
//     template <class Self, class Visit> static void ForEachKey(Self& s, Visit&& visit) {
//       visit("Name", s.m_name);
//       visit("Level", s.m_level);
//     }
//   };
//
// Fields are int, unsigned (stored as the int of the same bits, so a negative port reads back as
// one above 65535), bool (stored 0 or 1, any other number reads as true) and std::string; an int
// may be kept in another unit than it is stored in (StoredAs).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/profile.h"

namespace horavex {

// An int field stored as something else, for instance a list index stored as the value it stands for.
struct StoredAs {
  int (*toStored)(int field);
  int (*fromStored)(int stored);
};

namespace section_detail {

class Reader {
 public:
  explicit Reader(const SectionValues& values) : m_values(values) {}
  void operator()(std::string_view key, std::string& field) const { Set(m_values.String(key), field); }
  void operator()(std::string_view key, int& field) const { Set(m_values.Int(key), field); }
  void operator()(std::string_view key, unsigned& field) const {
    if (const auto v = m_values.Int(key)) field = static_cast<unsigned>(*v);
  }
  void operator()(std::string_view key, bool& field) const {
    if (const auto v = m_values.Int(key)) field = *v != 0;
  }
  void operator()(std::string_view key, int& field, StoredAs as) const {
    if (const auto v = m_values.Int(key)) field = as.fromStored(*v);
  }

 private:
  template <class T>
  static void Set(const std::optional<T>& value, T& field) {
    if (value) field = *value;
  }
  const SectionValues& m_values;
};

class Writer {
 public:
  void operator()(std::string_view key, const std::string& field) { entries.push_back({std::string(key), field}); }
  void operator()(std::string_view key, const int& field) { (*this)(key, std::to_string(field)); }
  void operator()(std::string_view key, const unsigned& field) { (*this)(key, static_cast<int>(field)); }
  void operator()(std::string_view key, const bool& field) { (*this)(key, field ? 1 : 0); }
  void operator()(std::string_view key, const int& field, StoredAs as) { (*this)(key, as.toStored(field)); }
  std::vector<ProfileEntry> entries;
};

}  // namespace section_detail

// Fills the fields whose keys `section` holds; the others keep their values, the defaults.
template <class Settings>
void LoadSection(Profile& profile, std::string_view section, Settings& settings) {
  const SectionValues values = profile.ReadSection(section);
  Settings::ForEachKey(settings, section_detail::Reader(values));
}

// Every key of `settings` with its stored text, in the order the keys are written.
template <class Settings>
std::vector<ProfileEntry> SectionEntries(const Settings& settings) {
  section_detail::Writer writer;
  Settings::ForEachKey(settings, writer);
  return std::move(writer.entries);
}

}  // namespace horavex
