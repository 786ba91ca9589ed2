// SHA-256 by the system: known digests, files across the read buffer's size,
// and what is no file.
#include "platform/sha256.h"

#include <gtest/gtest.h>

#include "tests/support/scratch.h"

namespace {

using platform::UString;
using testing_support::Join;
using testing_support::U;

TEST(Sha256, KnownDigestsOfBytesAndFiles) {
  const struct {
    std::string bytes;
    const char16_t* digest;
  } cases[] = {
      {"", u"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", u"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      // One byte more than a read of the file takes at once.
      {std::string(1048577, 'a'),
       u"4a3f0c0c213adea174f9a3d4c13177315b588bdb2e9c1012d3d0bf0453ca0f6a"},
  };
  testing_support::TempDir dir;
  for (const auto& c : cases) {
    EXPECT_EQ(platform::Sha256Of(c.bytes), c.digest) << c.bytes.size();
    const std::string path = Join(dir.Path(), "f");
    testing_support::WriteFileBytes(path, c.bytes);
    UString hex, error;
    ASSERT_TRUE(platform::FileSha256(U(path), &hex, &error)) << platform::Utf16ToUtf8(error);
    EXPECT_EQ(hex, c.digest) << c.bytes.size();
  }
}

TEST(Sha256, WhatIsNoFileHasNoDigest) {
  testing_support::TempDir dir;
  UString hex, error;
  EXPECT_FALSE(platform::FileSha256(U(Join(dir.Path(), "absent")), &hex, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(platform::FileSha256(U(dir.Path()), &hex, &error));
}

}  // namespace
