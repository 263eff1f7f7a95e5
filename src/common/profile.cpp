#include "common/profile.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <vector>

#include <asio/post.hpp>
#include <asio/thread_pool.hpp>

// Debian's SimpleIni.h keeps its template bodies behind this switch; this file is the one user.
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include "common/language.h"
#include "common/profile_edit.h"
#include "common/profile_file.h"

namespace horavex {
namespace {

namespace fs = std::filesystem;
// CSimpleIniA compares names without regard to case (CSimpleIniCaseA is the case-sensitive one).
using Ini = CSimpleIniA;

// Far beyond any real profile; a larger file is not read (and never overwritten).
constexpr std::size_t kMaxProfileBytes = std::size_t{64} << 20;
// A file changed this recently may change again without its stamp changing (timestamps are as
// coarse as the kernel's tick, or the file system's), so until it is older every read compares
// its bytes with those last parsed.
constexpr std::int64_t kRacyNs = 3'000'000'000;
constexpr std::chrono::milliseconds kLockBound{10'000};

std::unique_ptr<Ini> Parse(std::string bytes) {  // a copy: NULs are replaced
  auto ini = std::make_unique<Ini>();
  ini->SetSpaces(false);  // "key=value", as the Windows profile writes it
  // The parser stops at a NUL; as a line end it keeps the keys that follow a stray one.
  std::replace(bytes.begin(), bytes.end(), '\0', '\n');
  if (ini->LoadData(bytes.data(), bytes.size()) < 0) return nullptr;
  return ini;
}

bool IsRacy(const std::optional<FileStamp>& stamp) {
  if (!stamp) return false;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const std::int64_t nowNs = static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
  return nowNs - stamp->mtimeNs < kRacyNs;
}

// Whether `ini` reads every key of `entries` in `section` as written (blanks around a value are
// not read); of a key given twice, the last value.
bool ReadsBack(const Ini& ini, std::string_view section, std::span<const ProfileEntry> entries) {
  const std::string sectionName(section);
  for (auto e = entries.begin(); e != entries.end(); ++e) {
    if (std::any_of(e + 1, entries.end(), [&](const ProfileEntry& later) { return NamesEqual(later.key, e->key); })) continue;
    std::string_view value = e->value;
    value.remove_prefix(std::min(value.find_first_not_of(" \t"), value.size()));
    value.remove_suffix(value.size() - (value.find_last_not_of(" \t") + 1));
    const char* read = ini.GetValue(sectionName.c_str(), e->key.c_str());
    if (!read || value != read) return false;
  }
  return true;
}

bool HasLineBreakOrNul(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != s.npos; }

// Names and values that would read back as something else, or change other keys, are refused.
bool IsWritable(std::string_view section, std::string_view key, std::string_view value) {
  if (section.empty() || HasLineBreakOrNul(section) || section.find(']') != section.npos) return false;
  if (key.empty() || HasLineBreakOrNul(key) || key.find('=') != key.npos) return false;
  if (key.find_first_not_of(" \t") == key.npos || std::string_view(";#[").find(key.front()) != key.npos) return false;
  return !HasLineBreakOrNul(value);
}

// Writes go through a symbolic link to its target, so that a linked profile stays linked.
fs::path WriteTarget(const fs::path& file) {
  std::error_code ec;
  if (!fs::is_symlink(file, ec)) return file;
  fs::path target = fs::weakly_canonical(file, ec);
  return ec ? file : target;
}

fs::path HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  std::vector<char> buffer(16384);
  passwd pw{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &pw, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
    return found->pw_dir;
  return {};
}

std::optional<int> IntFromText(std::string_view text) {
  std::size_t i = text.find_first_not_of(" \t\r\n\f\v");
  if (i == text.npos) return std::nullopt;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  // Accumulated as a negative number, whose range holds INT_MIN; saturates instead of wrapping.
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 - (text[i] - '0');
    if (value < INT_MIN) value = static_cast<long long>(INT_MIN) - 1;
  }
  if (negative) return static_cast<int>(std::max<long long>(value, INT_MIN));
  return static_cast<int>(std::min<long long>(-value, INT_MAX));
}

// Why a file could not be read, for the user; "" for one that is simply not there yet.
std::string ReadProblemText(const fs::path& file, int error) {
  std::string why;
  std::error_code ec;
  switch (error) {
    case 0: return {};
    case ENOENT:
      // Made by the first save; only a missing directory above it is worth a word.
      if (file.parent_path().empty() || fs::is_directory(file.parent_path(), ec)) return {};
      why = Tr("de map ") + file.parent_path().string() + Tr(" bestaat niet");
      break;
    case EISDIR: why = Tr("het is een map"); break;
    case EINVAL: why = Tr("het is geen gewoon bestand"); break;
    case ELOOP: why = Tr("de symbolische koppelingen vormen een kring"); break;
    case ENOTDIR: why = Tr("een deel van het pad is geen map"); break;
    case EACCES:
    case EPERM: why = Tr("geen toegang (rechten?)"); break;
    case EFBIG: why = Tr("het is groter dan ") + std::to_string(kMaxProfileBytes >> 20) + " MB"; break;
    default: why = std::strerror(error);
  }
  return Tr("Profiel ") + file.string() + Tr(" kan niet gelezen worden: ") + why + " [ERROR: " + std::to_string(error) +
         Tr("]; de standaardinstellingen worden gebruikt");
}

}  // namespace

struct Profile::Impl {
  fs::path file;
  std::mutex mutex;
  std::unique_ptr<Ini> ini = std::make_unique<Ini>();
  std::optional<FileStamp> stamp;
  // What was parsed, kept while the file is young enough to change without its stamp changing:
  // then a read compares bytes instead of parsing again.
  std::string racyBytes;
  bool loaded = false;
  bool racy = false;
  int readError = 0;

  // The parsed file, parsed again only when its content changed on disk.
  const Ini& Current() {
    if (loaded && !racy && StampOfPath(file) == stamp) return *ini;
    FileBytes read = ReadFileBytes(file, kMaxProfileBytes);
    readError = read.error;
    if (loaded && racy && read.error == 0 && read.bytes == racyBytes) {
      Remember(std::move(ini), read.stamp, std::move(read.bytes));
      return *ini;
    }
    std::unique_ptr<Ini> parsed = read.error == 0 ? Parse(read.bytes) : nullptr;
    Remember(parsed ? std::move(parsed) : std::make_unique<Ini>(), read.stamp, std::move(read.bytes));
    return *ini;
  }

  void Remember(std::unique_ptr<Ini> parsed, std::optional<FileStamp> newStamp, std::string bytes) {
    ini = std::move(parsed);
    stamp = newStamp;
    loaded = true;
    racy = IsRacy(newStamp);
    racyBytes = racy ? std::move(bytes) : std::string();
  }

  // Changes the keys in the file under its lock; 0 or the errno. Takes `mutex` only at the end.
  int Write(std::string_view section, std::span<const ProfileEntry> entries, const std::atomic<bool>* cancelled);

  // The writer thread of WriteSectionLater, made at its first use; `closing` once the profile is
  // being destroyed, from when no completion is called.
  std::mutex writerMutex;
  std::unique_ptr<asio::thread_pool> writer;
  std::atomic<bool> closing{false};
};

int Profile::Impl::Write(std::string_view section, std::span<const ProfileEntry> entries,
                         const std::atomic<bool>* cancelled) {
  for (const ProfileEntry& e : entries)
    if (!IsWritable(section, e.key, e.value)) return EINVAL;
  const fs::path target = WriteTarget(file);
  std::error_code ec;
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
  if (ec) return ec.value();
  // Readers of this object do not wait while another process holds the file's lock: the object's
  // own mutex is taken only to keep what was written.
  FileLock lock;
  fs::path lockFile = target;
  lockFile += ".lock";
  if (int e = lock.Acquire(lockFile, kLockBound, cancelled)) return e;

  FileBytes read = ReadFileBytes(target, kMaxProfileBytes);
  // A file that exists but could not be read is never replaced by one that lacks its keys.
  if (read.error != 0 && read.error != ENOENT) return read.error;
  std::string bytes = EditProfileBytes(read.bytes, section, entries);
  std::unique_ptr<Ini> parsed = Parse(bytes);
  if (!parsed) return ENOMEM;
  // A file whose nonsense would make the reader take the new lines otherwise is left as it is.
  if (!ReadsBack(*parsed, section, entries)) return EIO;
  FileStamp written;
  if (int e = ReplaceFile(target, bytes, written)) return e;
  std::lock_guard guard(mutex);
  Remember(std::move(parsed), written, std::move(bytes));
  readError = 0;
  return 0;
}

Profile::Profile(fs::path file) : m_impl(std::make_unique<Impl>()) { m_impl->file = std::move(file); }
Profile::~Profile() {
  {
    std::lock_guard lock(m_impl->writerMutex);
    m_impl->closing = true;
  }
  if (m_impl->writer) m_impl->writer->join();
}

fs::path Profile::DefaultPath(std::string_view exeBaseName) {
  fs::path dir;
  // A relative XDG_CONFIG_HOME is invalid and to be ignored.
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') dir = xdg;
  else if (fs::path home = HomeDirectory(); !home.empty()) dir = home / ".config";
  return dir / (std::string(exeBaseName) + ".ini");
}

const fs::path& Profile::Path() const { return m_impl->file; }

std::string Profile::ReadProblem() const {
  std::lock_guard lock(m_impl->mutex);
  m_impl->Current();
  return ReadProblemText(m_impl->file, m_impl->readError);
}

SectionValues Profile::ReadSection(std::string_view section) {
  std::lock_guard lock(m_impl->mutex);
  SectionValues values;
  if (const Ini::TKeyVal* keys = m_impl->Current().GetSection(std::string(section).c_str()))
    for (const auto& [key, value] : *keys) values.m_entries.push_back({key.pItem, value});
  return values;
}

int Profile::GetInt(std::string_view section, std::string_view key, int defaultValue) {
  return ReadSection(section).Int(key).value_or(defaultValue);
}

std::string Profile::GetString(std::string_view section, std::string_view key, std::string_view defaultValue) {
  return ReadSection(section).String(key).value_or(std::string(defaultValue));
}

std::error_code Profile::WriteInt(std::string_view section, std::string_view key, int value) {
  return WriteString(section, key, std::to_string(value));
}

std::error_code Profile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  const ProfileEntry entry{std::string(key), std::string(value)};
  return WriteSection(section, {&entry, 1});
}

std::error_code Profile::WriteSection(std::string_view section, std::span<const ProfileEntry> entries) {
  const int error = m_impl->Write(section, entries, nullptr);
  return error == 0 ? std::error_code() : std::error_code(error, std::generic_category());
}

void Profile::WriteSectionLater(std::string section, std::vector<ProfileEntry> entries, std::function<void(int error)> done) {
  std::lock_guard lock(m_impl->writerMutex);
  if (!m_impl->writer) m_impl->writer = std::make_unique<asio::thread_pool>(1);
  asio::post(*m_impl->writer, [impl = m_impl.get(), section = std::move(section), entries = std::move(entries),
                              done = std::move(done)]() mutable {
    const int error = impl->Write(section, entries, &impl->closing);
    std::lock_guard closingLock(impl->writerMutex);
    if (!impl->closing) done(error);
  });
}

std::optional<std::string> SectionValues::String(std::string_view key) const {
  for (const ProfileEntry& e : m_entries)
    if (NamesEqual(e.key, key)) return e.value;
  return std::nullopt;
}

std::optional<int> SectionValues::Int(std::string_view key) const {
  const std::optional<std::string> text = String(key);
  return text ? IntFromText(*text) : std::nullopt;
}

}  // namespace horavex
