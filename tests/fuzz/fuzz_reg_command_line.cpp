// vorlo-reg's command line (arguments separated by NUL bytes in the input):
// read as reg reads it, and every accepted command names its key and value
// in a form that reads back the same.
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_check.h"
#include "tools/vorlo-reg/command.h"

namespace {

using platform::UString;
using regtool::Command;
using regtool::ParseResult;

void CheckValue(const platform::RegValue& v) {
  const size_t n = v.data.size();
  switch (v.type) {
    case platform::kRegDword:
    case platform::kRegDwordBigEndian: FUZZ_CHECK(n == 4); break;
    case platform::kRegQword: FUZZ_CHECK(n == 8); break;
    case platform::kRegSz:
    case platform::kRegExpandSz:
    case platform::kRegMultiSz:
      // UTF-16 text with its ending zero
      FUZZ_CHECK(n >= 2 && n % 2 == 0 && v.data[n - 1] == 0 && v.data[n - 2] == 0);
      break;
    default: break;
  }
  regtool::DisplayData(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<UString> args;
  const std::string bytes = fuzzing::Bytes(data, size);
  size_t start = 0;
  while (start <= bytes.size() && !bytes.empty()) {
    size_t end = bytes.find('\0', start);
    if (end == std::string::npos) end = bytes.size();
    args.push_back(platform::Utf8ToUtf16(bytes.substr(start, end - start)));
    start = end + 1;
  }
  Command c;
  const ParseResult r = regtool::ParseCommand(args, &c);
  if (r.kind != ParseResult::kOk) {
    FUZZ_CHECK(r.kind == ParseResult::kUsage || !r.text.empty());
    return 0;
  }
  FUZZ_CHECK(!args.empty());
  if (c.verb != Command::kHelp && c.verb != Command::kImport) {
    // The key's full name reads back as the same key.
    UString again, error;
    FUZZ_CHECK(regtool::ParseKeyName(regtool::FullKeyName(c.key), &again, &error));
    FUZZ_CHECK(again == c.key);
  }
  if (c.verb == Command::kAdd) CheckValue(c.value);
  return 0;
}
