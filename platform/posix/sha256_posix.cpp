// SHA-256 on Linux: OpenSSL's libcrypto.
#include <openssl/evp.h>

#include <memory>
#include <string>

#include "platform/files.h"
#include "platform/sha256.h"

namespace platform {
namespace {

struct ContextFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
using Context = std::unique_ptr<EVP_MD_CTX, ContextFree>;

Context Start() {
  Context c(EVP_MD_CTX_new());
  if (c && EVP_DigestInit_ex(c.get(), EVP_sha256(), nullptr) != 1) c.reset();
  return c;
}

UString Finish(EVP_MD_CTX* c) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  if (EVP_DigestFinal_ex(c, digest, &n) != 1) return {};
  const char16_t hex[] = u"0123456789abcdef";
  UString out;
  for (unsigned int i = 0; i < n; ++i) {
    out.push_back(hex[digest[i] >> 4]);
    out.push_back(hex[digest[i] & 0xF]);
  }
  return out;
}

}  // namespace

bool FileSha256(UStringView path, UString* hex, UString* error) {
  FileReader reader;
  if (!reader.Open(path, error)) return false;
  Context c = Start();
  if (!c) return *error = u"SHA-256 is not available", false;
  std::string buffer(1 << 20, '\0');
  for (;;) {
    const int64_t n = reader.Read(buffer.data(), buffer.size(), error);
    if (n < 0) return false;
    if (n == 0) break;
    if (EVP_DigestUpdate(c.get(), buffer.data(), static_cast<size_t>(n)) != 1) {
      return *error = u"SHA-256 failed", false;
    }
  }
  *hex = Finish(c.get());
  if (hex->empty()) return *error = u"SHA-256 failed", false;
  return true;
}

UString Sha256Of(std::string_view bytes) {
  Context c = Start();
  if (!c || EVP_DigestUpdate(c.get(), bytes.data(), bytes.size()) != 1) return {};
  return Finish(c.get());
}

}  // namespace platform
