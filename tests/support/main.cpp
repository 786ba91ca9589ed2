#include <gtest/gtest.h>

#include "platform/regional.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Tests see the same fixed regional settings on every machine; those that
  // need others set them themselves.
  platform::UseRegionalSettings(platform::RegionalSettings{});
  return RUN_ALL_TESTS();
}
