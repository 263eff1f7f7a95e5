// Translucent windows: the user writes an opacity per window name ("Transparant" in the window's
// own section of the profile) by hand; no window offers it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace horavex {

class Profile;

// Profile sections whose "Transparant" the windows read.
inline constexpr std::string_view kServerWindowSection = "SERVER WINDOW";
inline constexpr std::string_view kClientWindowSection = "CLIENT WINDOW";  // all five clients
inline constexpr std::string_view kClientInfoWindowSection = "CLIENT INFO WINDOW";
inline constexpr std::string_view kMainWindowSection = "MAIN WINDOW";
inline constexpr std::string_view kCommonSettingsWindowSection = "MAIN CONFIG WINDOW";

// The opacity `value` asks for: 1 to 254 (255 is opaque); nothing for every other value,
// compared unsigned, so that a negative value counts as a large one and nothing is clamped.
std::optional<std::uint8_t> TranslucentAlpha(std::uint32_t value);

// The opacity that "Transparant" in `windowName`'s section asks for; nothing when absent or out of range.
std::optional<std::uint8_t> WindowAlpha(Profile& profile, std::string_view windowName);

}  // namespace horavex
