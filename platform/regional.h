// The user's regional settings, taken once when the program starts and kept
// for its whole life, whatever the system announces later.
#pragma once

#include <cstdint>

#include "platform/text.h"

namespace platform {

struct RegionalSettings {
  char16_t decimal_separator = u'.';
};

// Reads the user's settings (Windows: the user's locale; Linux: the C library
// locale of the environment, setlocale(LC_ALL, "")). Call once at start,
// before any other thread runs.
void TakeRegionalSettings();

// Replaces the settings in force; for start-up code and tests, before any
// other thread runs.
void UseRegionalSettings(const RegionalSettings& settings);

// The settings in force: the defaults until one of the two above ran.
const RegionalSettings& Regional();

// The locale's abbreviated language name ("ENU" for 1033); empty when the
// system does not know the locale.
UString AbbreviatedLanguageName(uint32_t lcid);

struct LocalTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The local date and time now.
LocalTime Now();

// A time stamp in the user's formats as they were at start: the short date,
// then, unless the time of day is exactly 00:00:00.000, a blank and the long
// time.
UString FormatTimeStamp(const LocalTime& t);

}  // namespace platform
