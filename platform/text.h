// Text as the updater handles it: UTF-16 from end to end, with conversions to
// and from UTF-8 and the system's 8-bit code page, case mapping and trimming.
//
// The neutral parts (UTF-8, trimming, ASCII case) live in text.cpp; the code
// page and the locale-aware upper-casing are the system's (text_win32.cpp,
// text_posix.cpp).
//
//   UString s = Utf8ToUtf16("café");
//   UpperCase(s) == u"CAFÉ";
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace platform {

// The text type of the whole program. Lengths count UTF-16 code units.
using UString = std::u16string;
using UStringView = std::u16string_view;

// UTF-8 to UTF-16. A byte sequence that is not valid UTF-8 becomes U+FFFD,
// one per offending byte.
UString Utf8ToUtf16(std::string_view utf8);

// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(UStringView text);

// A path as the system hands it over (Linux: bytes, UTF-8 where valid) and
// back, byte for byte: each byte that belongs to no valid UTF-8 sequence is
// carried as the lone surrogate U+DC80..U+DCFF of its value ("surrogate
// escape"), so a folder named in Latin-1 is found again under its own name.
// PathToNative(PathFromNative(b)) == b for every byte string b.
UString PathFromNative(std::string_view bytes);
std::string PathToNative(UStringView path);

// The system's 8-bit code page to UTF-16. Windows: the ANSI code page.
// Linux: UTF-8; each byte that does not belong to a valid UTF-8 sequence is
// read as Windows-1252, so that text written on Windows reads the same.
UString AnsiToUtf16(std::string_view bytes);

// UTF-16 to the system's 8-bit code page. Windows: the ANSI code page, with
// its default character for what the code page lacks. Linux: UTF-8, with
// escaped bytes (PathFromNative) written as the bytes they carry.
std::string Utf16ToAnsi(UStringView text);

// Windows-1252 bytes to UTF-16 (the five unassigned bytes map to the C1
// controls of the same value, as Windows does).
UString Cp1252ToUtf16(std::string_view bytes);

// UTF-8 where the bytes are valid UTF-8; each byte that does not belong to a
// valid sequence is read as Windows-1252.
UString Utf8OrCp1252ToUtf16(std::string_view bytes);

// Locale-aware upper-casing: the Unicode simple upper-case mapping of each
// character, whatever locale the process is in. "straße" stays 6 units.
UString UpperCase(UStringView text);

// Upper-cases only the letters a to z; everything else stays as it is.
UString AsciiUpperCase(UStringView text);

// Removes every leading and trailing character whose code is 32 or less.
UString Trim(UStringView text);

// A zero-terminated wide string (UTF-16 or UTF-32, as wchar_t is) as UTF-16.
UString WideToUtf16(const wchar_t* text);

// Fills a message text: each "%s" and "%d" takes the next argument (already
// text; "%d" arguments are decimal numbers), "%%" is a percent sign.
// Missing arguments leave their place empty.
UString FormatText(UStringView format, std::initializer_list<UString> args);

// Decimal text of a signed 64-bit integer ("-12"), as UTF-16.
UString IntToText(long long value);

}  // namespace platform
