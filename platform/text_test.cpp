#include "platform/text.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(Text, Utf8RoundTrip) {
  const struct {
    std::string utf8;
    UString utf16;
  } cases[] = {
      {"", u""},
      {"abc", u"abc"},
      {"caf\xC3\xA9", u"café"},
      {"\xE2\x82\xAC", u"€"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},  // a surrogate pair
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
    EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8) << c.utf8;
  }
}

TEST(Text, InvalidUtf8AndLoneSurrogates) {
  // Each offending byte becomes one replacement character.
  EXPECT_EQ(Utf8ToUtf16("a\xE9z"), u"a\uFFFDz");
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong '/'
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // a surrogate
  EXPECT_EQ(Utf16ToUtf8(UString(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Text, Utf8OrCp1252ReadsWindowsTextByteByByte) {
  const struct {
    std::string bytes;
    UString text;
  } cases[] = {
      {"caf\xE9.dll", u"café.dll"},       // Windows-1252
      {"caf\xC3\xA9.dll", u"café.dll"},   // UTF-8
      {"\x80 \x9C \x81", u"€ œ \u0081"},  // the 0x80..0x9F row
      {"\xE9t\xC3\xA9", u"été"},          // both in one line
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8OrCp1252ToUtf16(c.bytes), c.text) << c.bytes;
}

// Paths the system hands over keep every byte: what is not UTF-8 travels as
// U+DC80..U+DCFF and comes back as the same byte.
TEST(Text, PathsRoundTripByteForByte) {
  const struct {
    std::string bytes;
    UString text;
  } cases[] = {
      {"/opt/vorlo/update", u"/opt/vorlo/update"},
      {"/opt/caf\xC3\xA9/update", u"/opt/café/update"},   // UTF-8 reads as such
      {"/opt/caf\xE9/update", u"/opt/caf\xDCE9/update"},  // Latin-1 byte escaped
      {"\xC3", u"\xDCC3"},                                // a cut sequence
      {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},            // an encoded surrogate
      {std::string("a\x80\xFF", 3), u"a\xDC80\xDCFF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathFromNative(c.bytes), c.text) << c.bytes;
    EXPECT_EQ(PathToNative(c.text), c.bytes) << c.bytes;
  }
  // Every byte string survives, whatever it holds.
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(PathToNative(PathFromNative(all)), all);
  // For display the escapes are what they are: not text.
  EXPECT_EQ(Utf16ToUtf8(PathFromNative("\xE9")), "\xEF\xBF\xBD");
}

TEST(Text, UpperCase) {
  const struct {
    UString in;
    UString out;
  } cases[] = {
      {u"vorlo.exe", u"VORLO.EXE"}, {u"Update.Exe", u"UPDATE.EXE"},
      {u"éèàçœ", u"ÉÈÀÇŒ"},         {u"σ ж", u"Σ Ж"},
      {u"123 _-.\\", u"123 _-.\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(UpperCase(c.in), c.out);
  // The simple mapping keeps the length: ß has no single upper-case letter.
  EXPECT_EQ(UpperCase(u"straße").size(), 6u);
}

TEST(Text, AsciiUpperCaseLeavesOtherLettersAlone) {
  EXPECT_EQ(AsciiUpperCase(u"vorlo.exe"), u"VORLO.EXE");
  EXPECT_EQ(AsciiUpperCase(u"vörlo"), u"VöRLO");
}

TEST(Text, TrimRemovesCodesUpTo32) {
  const struct {
    UString in;
    UString out;
  } cases[] = {
      {u"", u""},
      {u"   ", u""},
      {u"  a b\t", u"a b"},
      {UString(u"\x01\x1F") + u'\0' + u"x\r\n", u"x"},
      {u"\u00A0x\u00A0", u"\u00A0x\u00A0"},  // no-break space is above 32
  };
  for (const auto& c : cases) EXPECT_EQ(Trim(c.in), c.out);
}

TEST(Text, AnsiRoundTripOfWhatTheCodePageHolds) {
  EXPECT_EQ(AnsiToUtf16(Utf16ToAnsi(u"C:\\Vorlo\\vorlo.exe")), u"C:\\Vorlo\\vorlo.exe");
}

#ifndef _WIN32
TEST(Text, LinuxCodePageIsUtf8WithWindows1252Fallback) {
  EXPECT_EQ(Utf16ToAnsi(u"é"), "\xC3\xA9");
  EXPECT_EQ(AnsiToUtf16("\xE9"), u"é");
  // An escaped path byte goes to update.log as the byte it is.
  EXPECT_EQ(Utf16ToAnsi(PathFromNative("/opt/caf\xE9/")), "/opt/caf\xE9/");
}
#endif

}  // namespace
}  // namespace platform
