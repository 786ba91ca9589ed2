#include <windows.h>

#include "platform/regional.h"

namespace platform {

void TakeRegionalSettings() {
  RegionalSettings settings;
  wchar_t buf[8] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, 8) > 1) {
    settings.decimal_separator = static_cast<char16_t>(buf[0]);
  }
  UseRegionalSettings(settings);
}

}  // namespace platform
