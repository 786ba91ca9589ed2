// The SHA-256 of a file, by the system's own implementation (Windows CNG;
// OpenSSL's libcrypto on Linux).
//
//   UString hex;
//   if (FileSha256(path, &hex, &error)) ...   // 64 lower-case hexadecimal digits
#pragma once

#include <string_view>

#include "platform/text.h"

namespace platform {

// The SHA-256 of the regular file's content, as 64 lower-case hexadecimal
// digits. False with the reason when the file cannot be read or hashed.
bool FileSha256(UStringView path, UString* hex, UString* error);

// The SHA-256 of `bytes`, in the same form.
UString Sha256Of(std::string_view bytes);

}  // namespace platform
