// The language file format of the Linux build (docs/resource-file.md):
// numbered texts and window descriptions in one file, checked whole when it
// is read.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/text.h"

namespace platform {

struct ResourceFileContents {
  std::map<uint32_t, UString> texts;
  // Keyed by the class name upper-cased; the value is the description.
  std::map<UString, std::pair<UString, std::string>> descriptions;
};

std::string PackResourceFile(const ResourceFileContents& contents);

// False when `bytes` is not a whole resource file (wrong magic or version,
// truncated, or its checksum does not match).
bool UnpackResourceFile(const std::string& bytes, ResourceFileContents* out);

}  // namespace platform
