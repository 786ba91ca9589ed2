// What the fuzz targets share: an invariant that aborts the run (libFuzzer
// then keeps the input as a crash) and the input as bytes or as text.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/text.h"

#define FUZZ_CHECK(condition)                                                                \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (0)

namespace fuzzing {

inline std::string Bytes(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// The input as UTF-16 code units, little-endian (a last odd byte is dropped).
inline platform::UString Units(const uint8_t* data, size_t size) {
  platform::UString out;
  for (size_t i = 0; i + 1 < size; i += 2) {
    out.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  return out;
}

}  // namespace fuzzing
