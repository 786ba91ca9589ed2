// The build fails when the English table does not define exactly the
// identifiers of the French one, each under the same name.
#include <cstddef>
#include <cstdint>

#include "resources/texts.h"

namespace {

constexpr uint32_t kFrench[] = {
#define STR(id, name, text) id,
#include "resources/strings.fr.inc"
#undef STR
};

constexpr uint32_t kEnglish[] = {
#define STR(id, name, text) id,
#include "resources/strings.en.inc"
#undef STR
};

// Each English entry's name stands for its number among the French names.
#define STR(id, name, text)          \
  static_assert(texts::name == (id), \
                "strings.en.inc: " #name " has another number in strings.fr.inc");
#include "resources/strings.en.inc"
#undef STR

constexpr bool SameIdentifiers() {
  if (sizeof kFrench != sizeof kEnglish) return false;
  for (size_t i = 0; i < sizeof kFrench / sizeof kFrench[0]; ++i) {
    if (kFrench[i] != kEnglish[i]) return false;
  }
  return true;
}
static_assert(SameIdentifiers(),
              "strings.en.inc must define the identifiers of strings.fr.inc, in the same order");

}  // namespace
