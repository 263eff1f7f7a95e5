// Where the windowed program finds its artwork and help book: res/ beside the executable in the
// build tree, share/horavex beside the executable's parent folder once installed.
#pragma once

#include <filesystem>
#include <string_view>

namespace horavex {

// The first of <exe dir>/res/<relative> and <exe dir>/../share/horavex/<relative> that exists;
// empty when neither does.
std::filesystem::path FindDataFile(std::string_view relative);

}  // namespace horavex
