#include "gui/resources.h"

#include <system_error>

namespace horavex {

std::filesystem::path FindDataFile(std::string_view relative) {
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  const auto dir = exe.parent_path();
  for (const auto& base : {dir / "res", dir.parent_path() / "share" / "horavex"}) {
    auto candidate = base / relative;
    if (std::filesystem::exists(candidate, error)) return candidate;
  }
  return {};
}

}  // namespace horavex
