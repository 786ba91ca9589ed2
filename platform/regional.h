// The user's regional settings, taken once when the program starts and kept
// for its whole life, whatever the system announces later.
#pragma once

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

}  // namespace platform
