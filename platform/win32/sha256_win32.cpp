// SHA-256 on Windows: the system's CNG (bcrypt).
// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/sha256.h"

namespace platform {
namespace {

// A SHA-256 hash object of CNG, closed with its provider.
class Hash {
 public:
  Hash() {
    if (BCryptOpenAlgorithmProvider(&alg_, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0) {
      alg_ = nullptr;
      return;
    }
    if (BCryptCreateHash(alg_, &hash_, nullptr, 0, nullptr, 0, 0) < 0) hash_ = nullptr;
  }
  ~Hash() {
    if (hash_ != nullptr) BCryptDestroyHash(hash_);
    if (alg_ != nullptr) BCryptCloseAlgorithmProvider(alg_, 0);
  }
  Hash(const Hash&) = delete;
  Hash& operator=(const Hash&) = delete;

  bool Ok() const { return hash_ != nullptr; }
  bool Add(const char* data, size_t size) {
    while (size > 0) {
      const ULONG chunk = size > (1u << 30) ? (1u << 30) : static_cast<ULONG>(size);
      if (BCryptHashData(hash_, reinterpret_cast<PUCHAR>(const_cast<char*>(data)), chunk, 0) < 0) {
        return false;
      }
      data += chunk;
      size -= chunk;
    }
    return true;
  }
  UString Hex() {
    unsigned char digest[32];
    if (BCryptFinishHash(hash_, digest, sizeof digest, 0) < 0) return {};
    const char16_t hex[] = u"0123456789abcdef";
    UString out;
    for (unsigned char b : digest) {
      out.push_back(hex[b >> 4]);
      out.push_back(hex[b & 0xF]);
    }
    return out;
  }

 private:
  BCRYPT_ALG_HANDLE alg_ = nullptr;
  BCRYPT_HASH_HANDLE hash_ = nullptr;
};

}  // namespace

bool FileSha256(UStringView path, UString* hex, UString* error) {
  FileReader reader;
  if (!reader.Open(path, error)) return false;
  Hash hash;
  if (!hash.Ok()) return *error = u"SHA-256 is not available", false;
  std::string buffer(1 << 20, '\0');
  for (;;) {
    const int64_t n = reader.Read(buffer.data(), buffer.size(), error);
    if (n < 0) return false;
    if (n == 0) break;
    if (!hash.Add(buffer.data(), static_cast<size_t>(n))) return *error = u"SHA-256 failed", false;
  }
  *hex = hash.Hex();
  if (hex->empty()) return *error = u"SHA-256 failed", false;
  return true;
}

UString Sha256Of(std::string_view bytes) {
  Hash hash;
  if (!hash.Ok() || !hash.Add(bytes.data(), bytes.size())) return {};
  return hash.Hex();
}

}  // namespace platform
