// vres-pack FORM OUT: writes the US English language file of the Linux build
// (docs/resource-file.md) from the texts compiled in below and the window
// description FORM.
#include <cstdio>

#include "platform/files.h"
#include "platform/resource_file.h"

namespace {

#define STR(id, name, text) {id, text},
const struct {
  uint32_t id;
  const wchar_t* text;
} kTexts[] = {
#include "strings.en.inc"
};
#undef STR

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vres-pack FORM OUT\n");
    return 2;
  }
  platform::ResourceFileContents c;
  for (const auto& t : kTexts) c.texts[t.id] = platform::WideToUtf16(t.text);
  std::string form;
  platform::UString error;
  if (!platform::ReadWholeFile(platform::Utf8ToUtf16(argv[1]), &form, &error)) {
    std::fprintf(stderr, "vres-pack: %s: %s\n", argv[1], platform::Utf16ToUtf8(error).c_str());
    return 1;
  }
  c.descriptions[u"TFORMUPDATER"] = {u"TFormUpdater", form};
  if (!platform::WriteWholeFile(platform::Utf8ToUtf16(argv[2]), platform::PackResourceFile(c),
                                &error)) {
    std::fprintf(stderr, "vres-pack: %s: %s\n", argv[2], platform::Utf16ToUtf8(error).c_str());
    return 1;
  }
  return 0;
}
