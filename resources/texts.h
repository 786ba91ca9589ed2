// The numbered texts by name: every identifier of the built-in French table
// (strings.fr.inc), where each text is written with its number and its name.
// The English table defines exactly the same identifiers, which the build
// checks (texts_check.cpp).
//
//   Log = LoadResString(texts::kCopied);
#pragma once

#include <cstdint>

namespace texts {

enum TextId : uint32_t {
#define STR(id, name, text) name = id,
#include "resources/strings.fr.inc"
#undef STR
};

}  // namespace texts
