// The release manifest, bytes in: the lines of each section, and no accepted
// entry that names something outside the download folder.
#include <filesystem>
#include <string>

#include "engine/manifest.h"
#include "platform/module.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using manifest::Line;
using platform::UString;

bool IsControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// Where the entry leads, seen by the system's own path rules: on Linux the
// joined path, normalised, still begins with the folder; on Windows no
// component is ".." once the blanks the system ignores around it are gone, and
// neither a drive, a stream nor a root can be named.
void CheckStaysInside(const UString& folder, const UString& entry) {
  FUZZ_CHECK(entry.find(u':') == UString::npos);
  FUZZ_CHECK(entry.empty() || (entry.front() != u'/' && entry.front() != u'\\'));
  for (char16_t c : entry) FUZZ_CHECK(!IsControl(c) && c != u'"');

  namespace fs = std::filesystem;
  const fs::path base = fs::path(platform::PathToNative(folder)).lexically_normal();
  const fs::path joined = fs::path(platform::PathToNative(folder + entry)).lexically_normal();
  const std::string b = base.native(), j = joined.native();
  FUZZ_CHECK(j.compare(0, b.size(), b) == 0);

  size_t start = 0;
  while (start <= entry.size()) {
    size_t end = entry.find_first_of(u"\\/", start);
    if (end == UString::npos) end = entry.size();
    const UString part = platform::Trim(entry.substr(start, end - start));
    FUZZ_CHECK(part != u"..");
    start = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes = fuzzing::Bytes(data, size);
  const UString folder = UString(u"/srv/vorlo/download") + platform::kPathSeparator;
  const UString keys[][2] = {{u"[LocalFiles]", u"[end]"}, {u"[DeleteLocalFiles]", u"[end]"}};
  for (const auto& key : keys) {
    bool open = false;
    for (const Line& line : manifest::ReadSection(bytes, folder, key[0], key[1])) {
      switch (line.kind) {
        case Line::kSectionBegin:
          FUZZ_CHECK(!open && line.text == key[0]);
          open = true;
          break;
        case Line::kSectionEnd:
          FUZZ_CHECK(open && line.text == key[1]);
          open = false;
          break;
        case Line::kRefused:
          FUZZ_CHECK(open);
          for (char16_t c : line.text) FUZZ_CHECK(!IsControl(c));
          break;
        case Line::kEntry: {
          FUZZ_CHECK(open);
          CheckStaysInside(folder, line.text);
          const UString name = manifest::FileNamePart(line.text);
          FUZZ_CHECK(name.size() <= line.text.size());
          FUZZ_CHECK(line.text.compare(line.text.size() - name.size(), name.size(), name) == 0);
          FUZZ_CHECK(name.find_first_of(u"\\/:") == UString::npos);
          break;
        }
      }
    }
  }
  return 0;
}
