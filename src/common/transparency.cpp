#include "common/transparency.h"

#include "common/profile.h"

namespace horavex {

std::optional<std::uint8_t> TranslucentAlpha(std::uint32_t value) {
  if (value < 1 || value > 254) return std::nullopt;
  return static_cast<std::uint8_t>(value);
}

std::optional<std::uint8_t> WindowAlpha(Profile& profile, std::string_view windowName) {
  return TranslucentAlpha(static_cast<std::uint32_t>(profile.GetInt(windowName, "Transparant", 0)));
}

}  // namespace horavex
