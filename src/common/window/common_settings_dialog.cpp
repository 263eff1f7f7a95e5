#include "common/window/common_settings_dialog.h"

namespace horavex {

void OpenCommonSettings(wxWindow*, Profile&, SoundPlayer&) {}

}  // namespace horavex
