#include "common/profile_edit.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace horavex {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// The reader takes a NUL for a line end, as it does "\r", "\n" and "\r\n".
bool IsLineEnd(char c) { return c == '\n' || c == '\r' || c == '\0'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsSpace(char c) { return IsBlank(c) || IsLineEnd(c); }

std::string_view TrimEnd(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// A section header or a key line, where the reader found it.
struct Item {
  bool header = false;
  bool named = true;  // false for a header without "]": what follows it is under no name anyone writes
  std::string_view name;
  std::size_t valueBegin = 0, valueEnd = 0;  // a key's value, blanks around it left out
  std::size_t lineEnd = 0;                   // just after the line and its line end
  bool hasLineEnd = false;                   // false for a last line without one
};

// Walks the bytes exactly as the profile's parser does, so that the line changed is the line read.
class Scanner {
 public:
  explicit Scanner(std::string_view bytes) : m_b(bytes), m_i(bytes.starts_with(kBom) ? kBom.size() : 0) {}

  // The next header or key line; nothing at the end.
  std::optional<Item> Next() {
    for (;;) {
      while (m_i < m_b.size() && IsSpace(m_b[m_i])) ++m_i;
      if (m_i >= m_b.size()) return std::nullopt;
      if (m_b[m_i] == ';' || m_b[m_i] == '#') {
        SkipToLineEnd();
      } else if (m_b[m_i] == '[') {
        return Header();
      } else if (std::optional<Item> key = Key()) {
        return key;
      }
    }
  }
  // True when the bytes end inside a "[" that has not reached its name: the parser would take
  // whatever comes next, over line ends, for that name.
  bool EndsInOpenHeader() const { return m_openHeaderAtEnd; }

 private:
  Item Header() {
    ++m_i;
    while (m_i < m_b.size() && IsSpace(m_b[m_i])) ++m_i;  // line ends too: a name may start lines later
    m_openHeaderAtEnd = m_i >= m_b.size();
    const std::size_t start = m_i;
    while (m_i < m_b.size() && m_b[m_i] != ']' && !IsLineEnd(m_b[m_i])) ++m_i;
    Item item;
    item.header = true;
    if (m_i >= m_b.size() || m_b[m_i] != ']') {
      item.named = false;
      return item;
    }
    item.name = TrimEnd(m_b.substr(start, m_i - start));
    SkipToLineEnd();
    EndLine(item);
    return item;
  }

  // A key line; nothing for a line without "=" or with nothing before it.
  std::optional<Item> Key() {
    const std::size_t start = m_i;
    while (m_i < m_b.size() && m_b[m_i] != '=' && !IsLineEnd(m_b[m_i])) ++m_i;
    if (m_i >= m_b.size() || m_b[m_i] != '=') return std::nullopt;
    if (m_i == start) {
      SkipToLineEnd();
      return std::nullopt;
    }
    Item item;
    item.name = TrimEnd(m_b.substr(start, m_i - start));
    ++m_i;
    while (m_i < m_b.size() && IsBlank(m_b[m_i])) ++m_i;
    item.valueBegin = m_i;
    SkipToLineEnd();
    item.valueEnd = item.valueBegin + TrimEnd(m_b.substr(item.valueBegin, m_i - item.valueBegin)).size();
    EndLine(item);
    return item;
  }

  void SkipToLineEnd() {
    while (m_i < m_b.size() && !IsLineEnd(m_b[m_i])) ++m_i;
  }
  // Steps over the line end at m_i ("\r\n" as one, and "\r\0", which the parser sees as one).
  void EndLine(Item& item) {
    item.hasLineEnd = m_i < m_b.size();
    if (item.hasLineEnd) {
      const bool pair = m_b[m_i] == '\r' && m_i + 1 < m_b.size() && (m_b[m_i + 1] == '\n' || m_b[m_i + 1] == '\0');
      m_i += pair ? 2 : 1;
    }
    item.lineEnd = m_i;
  }

  std::string_view m_b;
  std::size_t m_i;
  bool m_openHeaderAtEnd = false;
};

// The line end of the file's first line; "\n" when it has none.
std::string_view FileLineEnd(std::string_view bytes) {
  const std::size_t at = bytes.find_first_of("\r\n");
  if (at == bytes.npos || bytes[at] == '\n') return "\n";
  return bytes.substr(at + 1, 1) == "\n" ? "\r\n" : "\r";
}

// One key to write, and the value the reader reads now, when the section has it.
struct Wanted {
  const ProfileEntry* entry;
  std::optional<std::pair<std::size_t, std::size_t>> value;
};

// The keys to write, a key given twice once with its last value.
std::vector<Wanted> WantedKeys(std::span<const ProfileEntry> entries) {
  std::vector<Wanted> wanted;
  for (const ProfileEntry& e : entries) {
    const auto same = std::find_if(wanted.begin(), wanted.end(), [&](const Wanted& w) { return NamesEqual(w.entry->key, e.key); });
    if (same != wanted.end()) same->entry = &e;
    else wanted.push_back({&e, std::nullopt});
  }
  return wanted;
}

}  // namespace

bool NamesEqual(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::string EditProfileBytes(std::string_view bytes, std::string_view section, std::span<const ProfileEntry> entries) {
  std::vector<Wanted> wanted = WantedKeys(entries);
  std::optional<Item> lastLine;  // of the section's last occurrence: new keys go after it
  bool inSection = false;
  Scanner scanner(bytes);
  while (std::optional<Item> item = scanner.Next()) {
    if (item->header) inSection = item->named && NamesEqual(item->name, section);
    if (!inSection) continue;
    lastLine = item;
    for (Wanted& w : wanted)
      if (!item->header && NamesEqual(item->name, w.entry->key)) w.value.emplace(item->valueBegin, item->valueEnd);
  }
  const std::string_view eol = FileLineEnd(bytes);
  std::string keys;  // the lines of the keys the section lacks
  for (const Wanted& w : wanted)
    if (!w.value) keys.append(w.entry->key).append("=").append(w.entry->value).append(eol);
  std::size_t addAt = bytes.size();
  std::string added;
  if (lastLine) {
    addAt = lastLine->lineEnd;
    if (!keys.empty() && !lastLine->hasLineEnd) added.append(eol);
  } else {
    if (bytes.size() > (bytes.starts_with(kBom) ? kBom.size() : 0) && !IsLineEnd(bytes.back())) added.append(eol);
    if (scanner.EndsInOpenHeader()) added.append("]").append(eol);  // "[" then "]": a header of no name
    added.append("[").append(section).append("]").append(eol);
  }
  added.append(keys);
  // The changes in the order of the file: values replaced where they stand, then the added lines.
  std::sort(wanted.begin(), wanted.end(), [](const Wanted& a, const Wanted& b) { return a.value < b.value; });
  std::string out;
  out.reserve(bytes.size() + added.size() + 64);
  std::size_t copied = 0;
  for (const Wanted& w : wanted) {
    if (!w.value) continue;
    out.append(bytes.substr(copied, w.value->first - copied)).append(w.entry->value);
    copied = w.value->second;
  }
  out.append(bytes.substr(copied, addAt - copied)).append(added).append(bytes.substr(addAt));
  return out;
}

}  // namespace horavex
