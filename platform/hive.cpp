// The system-independent part of hive.h: value encodings.
#include "platform/hive.h"

namespace platform {

RegValue RegValue::Text(UStringView text, uint32_t type) {
  RegValue v;
  v.type = type;
  v.data.reserve((text.size() + 1) * 2);
  for (char16_t c : text) {
    v.data.push_back(static_cast<unsigned char>(c & 0xFF));
    v.data.push_back(static_cast<unsigned char>(c >> 8));
  }
  v.data.push_back(0);
  v.data.push_back(0);
  return v;
}

RegValue RegValue::Dword(uint32_t x) {
  RegValue v;
  v.type = kRegDword;
  for (int i = 0; i < 4; ++i) v.data.push_back(static_cast<unsigned char>(x >> (8 * i)));
  return v;
}

RegValue RegValue::Qword(uint64_t x) {
  RegValue v;
  v.type = kRegQword;
  for (int i = 0; i < 8; ++i) v.data.push_back(static_cast<unsigned char>(x >> (8 * i)));
  return v;
}

RegValue RegValue::Binary(std::vector<unsigned char> bytes) {
  RegValue v;
  v.type = kRegBinary;
  v.data = std::move(bytes);
  return v;
}

namespace {
UString DecodeUtf16Le(const std::vector<unsigned char>& data) {
  UString out;
  out.reserve(data.size() / 2);
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    out.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  return out;
}
}  // namespace

UString RegValue::AsText() const {
  UString s = DecodeUtf16Le(data);
  if (type == kRegSz || type == kRegExpandSz || type == kRegLink) {
    const size_t zero = s.find(u'\0');
    if (zero != UString::npos) s.resize(zero);
  }
  return s;
}

std::vector<UString> RegValue::AsMultiText() const {
  std::vector<UString> out;
  const UString s = DecodeUtf16Le(data);
  size_t start = 0;
  while (start < s.size()) {
    const size_t zero = s.find(u'\0', start);
    const size_t end = zero == UString::npos ? s.size() : zero;
    if (end == start) break;  // the empty string that ends the list
    out.push_back(s.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

}  // namespace platform
