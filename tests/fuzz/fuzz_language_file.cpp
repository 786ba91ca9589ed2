// The language file reader: a file is read whole or not at all, what it
// holds packs back to the same, and its window description applies to the
// updater's window or is refused.
#include <string>

#include "forms/reader.h"
#include "platform/resource_file.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/support/fake_toolkit.h"

namespace {

// The file's checksum (FNV-1a of everything before it): set on a copy of
// the input so that the fuzzer also reaches past the check.
uint32_t Fnv1a(const std::string& s) {
  uint32_t h = 2166136261u;
  for (unsigned char c : s) {
    h ^= c;
    h *= 16777619u;
  }
  return h;
}

void Check(const std::string& bytes) {
  platform::ResourceFileContents contents;
  if (!platform::UnpackResourceFile(bytes, &contents)) return;
  const std::string packed = platform::PackResourceFile(contents);
  platform::ResourceFileContents again;
  FUZZ_CHECK(platform::UnpackResourceFile(packed, &again));
  FUZZ_CHECK(again.texts == contents.texts && again.descriptions == contents.descriptions);
  FUZZ_CHECK(platform::PackResourceFile(again) == packed);

  const auto it = contents.descriptions.find(u"TFORMUPDATER");
  if (it == contents.descriptions.end()) return;
  testing_support::FakeWindow w;
  try {
    forms::TReader reader(it->second.second, 4096);
    reader.ReadRootComponent(w.form);
  } catch (const forms::EReadError&) {
    // refused: the updater keeps its built-in window
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes = fuzzing::Bytes(data, size);
  Check(bytes);
  if (bytes.size() >= 4) {
    std::string fixed = bytes.substr(0, bytes.size() - 4);
    const uint32_t sum = Fnv1a(fixed);
    for (int i = 0; i < 4; ++i) fixed.push_back(static_cast<char>(sum >> (8 * i)));
    if (fixed != bytes) Check(fixed);
  }
  return 0;
}
