// The .reg reader: any file is read or refused as a whole, and what it gives
// exports to a file that imports back to the same keys and values.
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_check.h"
#include "tools/vorlo-reg/reg_file.h"

namespace {

using regtool::RegFile;
using regtool::RegFileKey;

bool Same(const std::vector<RegFileKey>& a, const std::vector<RegFileKey>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].path != b[i].path || a[i].remove != b[i].remove) return false;
    if (a[i].values.size() != b[i].values.size()) return false;
    for (size_t j = 0; j < a[i].values.size(); ++j) {
      const auto &x = a[i].values[j], &y = b[i].values[j];
      if (x.name != y.name || x.remove != y.remove || x.value.type != y.value.type ||
          x.value.data != y.value.data) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RegFile file;
  platform::UString error;
  if (!regtool::ParseRegFile(fuzzing::Bytes(data, size), &file, &error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  // An export holds keys and values, not deletions: keep what it can hold.
  std::vector<RegFileKey> keys;
  for (const RegFileKey& k : file.keys) {
    if (k.remove) continue;
    RegFileKey kept{k.path, false, {}};
    for (const auto& v : k.values) {
      if (!v.remove) kept.values.push_back(v);
    }
    keys.push_back(std::move(kept));
  }
  std::string exported;
  if (!regtool::FormatRegFile(keys, &exported, &error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  RegFile again;
  FUZZ_CHECK(regtool::ParseRegFile(exported, &again, &error));
  FUZZ_CHECK(again.skipped.empty());
  FUZZ_CHECK(Same(again.keys, keys));
  return 0;
}
