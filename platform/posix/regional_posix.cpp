#include <clocale>

#include "platform/regional.h"

namespace platform {

void TakeRegionalSettings() {
  std::setlocale(LC_ALL, "");
  RegionalSettings settings;
  const std::lconv* conv = std::localeconv();
  if (conv != nullptr && conv->decimal_point != nullptr) {
    const UString sep = AnsiToUtf16(conv->decimal_point);
    if (sep.size() == 1) settings.decimal_separator = sep[0];
  }
  UseRegionalSettings(settings);
}

}  // namespace platform
