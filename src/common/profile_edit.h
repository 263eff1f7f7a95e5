// Changing keys in a profile's bytes as a person would in an editor: only the values written
// change, and every other byte of the file stays as it was (comments, lines the reader does not
// understand, NULs, the file's line ends, a missing last line end).
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "common/profile.h"

namespace horavex {

// Whether two section or key names are the same to the reader: ASCII letters without regard to case.
bool NamesEqual(std::string_view a, std::string_view b);

// `bytes` with the keys of `entries` set in `section`, names compared without regard to case as
// the reader compares them:
// - a key present gets its new value on its own line; of several lines of one key (in one or in
//   repeated sections of that name) the last one changes, which is the one the reader reads;
// - a missing key is added after the last key line of the section's last occurrence;
// - a missing section is added at the end, with its keys.
// Names and values must be writable (no line break, NUL, "]" in a section, "=" in a key). New
// lines end as the file's first line does ("\n" in a file without one).
std::string EditProfileBytes(std::string_view bytes, std::string_view section, std::span<const ProfileEntry> entries);

}  // namespace horavex
