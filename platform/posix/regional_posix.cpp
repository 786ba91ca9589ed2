#include <sys/time.h>
#include <time.h>

#include <clocale>

#include "platform/regional.h"

namespace platform {

void TakeRegionalSettings() {
  // The process locale is set here once and never again, so %x and %X keep
  // the formats of the start.
  std::setlocale(LC_ALL, "");
  RegionalSettings settings;
  const std::lconv* conv = std::localeconv();
  if (conv != nullptr && conv->decimal_point != nullptr) {
    const UString sep = AnsiToUtf16(conv->decimal_point);
    if (sep.size() == 1) settings.decimal_separator = sep[0];
  }
  UseRegionalSettings(settings);
}

UString AbbreviatedLanguageName(uint32_t lcid) {
  // Windows' abbreviated names of the locales Vorlo is offered in.
  static const struct {
    uint32_t lcid;
    const char16_t* name;
  } kNames[] = {
      {1033, u"ENU"}, {2057, u"ENG"}, {1036, u"FRA"}, {3084, u"FRC"}, {2060, u"FRB"},
      {4108, u"FRS"}, {1031, u"DEU"}, {3082, u"ESN"}, {1034, u"ESP"}, {1040, u"ITA"},
      {1043, u"NLD"}, {2070, u"PTG"}, {1046, u"PTB"},
  };
  for (const auto& n : kNames) {
    if (n.lcid == lcid) return n.name;
  }
  return {};
}

LocalTime Now() {
  timeval tv;
  gettimeofday(&tv, nullptr);
  tm parts;
  localtime_r(&tv.tv_sec, &parts);
  LocalTime t;
  t.year = parts.tm_year + 1900;
  t.month = parts.tm_mon + 1;
  t.day = parts.tm_mday;
  t.hour = parts.tm_hour;
  t.minute = parts.tm_min;
  t.second = parts.tm_sec;
  t.millisecond = static_cast<int>(tv.tv_usec / 1000);
  return t;
}

UString FormatTimeStamp(const LocalTime& t) {
  tm parts = {};
  parts.tm_year = t.year - 1900;
  parts.tm_mon = t.month - 1;
  parts.tm_mday = t.day;
  parts.tm_hour = t.hour;
  parts.tm_min = t.minute;
  parts.tm_sec = t.second;
  parts.tm_isdst = -1;
  timegm(&parts);  // fills in the week day for formats that show it
  char buf[128];
  const bool midnight = t.hour == 0 && t.minute == 0 && t.second == 0 && t.millisecond == 0;
  const size_t n = strftime(buf, sizeof buf, midnight ? "%x" : "%x %X", &parts);
  return AnsiToUtf16(std::string(buf, n));
}

}  // namespace platform
