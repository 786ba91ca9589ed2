#include <windows.h>

#include <string>

#include "platform/regional.h"

namespace platform {
namespace {

// The user's format pictures as they were at start.
std::wstring g_short_date;
std::wstring g_long_time;

std::wstring LocaleText(LCTYPE what) {
  wchar_t buf[100] = {};
  return GetLocaleInfoW(LOCALE_USER_DEFAULT, what, buf, 100) > 0 ? std::wstring(buf)
                                                                 : std::wstring();
}

}  // namespace

void TakeRegionalSettings() {
  RegionalSettings settings;
  const std::wstring sep = LocaleText(LOCALE_SDECIMAL);
  if (sep.size() == 1) settings.decimal_separator = static_cast<char16_t>(sep[0]);
  g_short_date = LocaleText(LOCALE_SSHORTDATE);
  g_long_time = LocaleText(LOCALE_STIMEFORMAT);
  UseRegionalSettings(settings);
}

UString AbbreviatedLanguageName(uint32_t lcid) {
  wchar_t buf[5] = {};
  const int n = GetLocaleInfoW(lcid, LOCALE_SABBREVLANGNAME, buf, 5);
  return n > 1 ? UString(buf, buf + n - 1) : UString();
}

LocalTime Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.millisecond = st.wMilliseconds;
  return t;
}

UString FormatTimeStamp(const LocalTime& t) {
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(t.year);
  st.wMonth = static_cast<WORD>(t.month);
  st.wDay = static_cast<WORD>(t.day);
  st.wHour = static_cast<WORD>(t.hour);
  st.wMinute = static_cast<WORD>(t.minute);
  st.wSecond = static_cast<WORD>(t.second);
  st.wMilliseconds = static_cast<WORD>(t.millisecond);
  // The day of the week, for formats that show it.
  FILETIME ft;
  if (SystemTimeToFileTime(&st, &ft)) FileTimeToSystemTime(&ft, &st);
  wchar_t date[100] = {};
  wchar_t time[100] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, g_short_date.empty() ? DATE_SHORTDATE : 0, &st,
                 g_short_date.empty() ? nullptr : g_short_date.c_str(), date, 100);
  UString out(date, date + wcslen(date));
  if (t.hour != 0 || t.minute != 0 || t.second != 0 || t.millisecond != 0) {
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, g_long_time.empty() ? nullptr : g_long_time.c_str(),
                   time, 100);
    out += u" ";
    out += UString(time, time + wcslen(time));
  }
  return out;
}

}  // namespace platform
