#include "app/chimes.h"

#include "common/common_settings.h"
#include "platform/sound.h"

namespace horavex {

void Chimes::OnTimeShown(std::string_view timeText) {
  if (timeText.size() < 8) return;
  const std::string_view minutesAndSeconds = timeText.substr(2, 6);
  std::string CommonSettings::*quarter = nullptr;
  if (minutesAndSeconds == ":00:00") quarter = &CommonSettings::m_sound00;
  else if (minutesAndSeconds == ":15:00") quarter = &CommonSettings::m_sound15;
  else if (minutesAndSeconds == ":30:00") quarter = &CommonSettings::m_sound30;
  else if (minutesAndSeconds == ":45:00") quarter = &CommonSettings::m_sound45;
  if (!quarter) return;
  const std::string file = CommonSettings::Load(m_profile).*quarter;
  if (!file.empty()) m_sounds.PlayFile(file);
}

}  // namespace horavex
