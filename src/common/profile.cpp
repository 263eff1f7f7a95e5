#include "common/profile.h"

#include <cerrno>
#include <cstdlib>

#include <SimpleIni.h>

namespace horavex {

struct Profile::Impl {
  std::filesystem::path file;
  int lastError = 0;
  void Load(CSimpleIniCaseA& ini) const { ini.LoadFile(file.c_str()); }
};

Profile::Profile(std::filesystem::path file) : impl_(std::make_unique<Impl>()) { impl_->file = std::move(file); }
Profile::~Profile() = default;

std::filesystem::path Profile::DefaultPath(std::string_view exeBaseName) {
  std::filesystem::path dir;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) dir = xdg;
  else if (const char* home = std::getenv("HOME")) dir = std::filesystem::path(home) / ".config";
  return dir / (std::string(exeBaseName) + ".ini");
}

const std::filesystem::path& Profile::Path() const { return impl_->file; }

int Profile::GetInt(std::string_view section, std::string_view key, int defaultValue) {
  const std::string s = GetString(section, key, "");
  if (s.empty()) return defaultValue;
  return std::atoi(s.c_str());
}

std::string Profile::GetString(std::string_view section, std::string_view key, std::string_view defaultValue) {
  CSimpleIniCaseA ini;
  impl_->Load(ini);
  const char* v = ini.GetValue(std::string(section).c_str(), std::string(key).c_str(), nullptr);
  return v ? std::string(v) : std::string(defaultValue);
}

bool Profile::WriteInt(std::string_view section, std::string_view key, int value) {
  return WriteString(section, key, std::to_string(value));
}

bool Profile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  CSimpleIniCaseA ini;
  impl_->Load(ini);
  ini.SetValue(std::string(section).c_str(), std::string(key).c_str(), std::string(value).c_str());
  if (ini.SaveFile(impl_->file.c_str()) < 0) {
    impl_->lastError = errno;
    return false;
  }
  return true;
}

int Profile::LastError() const { return impl_->lastError; }

}  // namespace horavex
