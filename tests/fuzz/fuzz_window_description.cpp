// The window description reader, on the updater's window: a description is
// read, or refused naming a line that the description has.
#include <algorithm>
#include <string>

#include "forms/reader.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/support/fake_toolkit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes = fuzzing::Bytes(data, size);
  testing_support::FakeWindow w;
  try {
    forms::TReader reader(bytes, 4096);
    reader.ReadRootComponent(w.form);
  } catch (const forms::EReadError& e) {
    const platform::UString prefix = u"Error reading the window description, line ";
    const platform::UString& m = e.Message();
    FUZZ_CHECK(m.compare(0, prefix.size(), prefix) == 0);
    long long line = 0;
    size_t i = prefix.size();
    for (; i < m.size() && m[i] >= u'0' && m[i] <= u'9'; ++i) line = line * 10 + (m[i] - u'0');
    FUZZ_CHECK(i < m.size() && m[i] == u':');
    const long long lines = std::count(bytes.begin(), bytes.end(), '\n') + 1;
    FUZZ_CHECK(line >= 1 && line <= lines);
  }
  return 0;
}
