#include "platform/resource_file.h"

namespace platform {
namespace {

constexpr char kMagic[8] = {'V', 'O', 'R', 'L', 'O', 'R', 'E', 'S'};
constexpr uint32_t kVersion = 1;

uint32_t Fnv1a(const std::string& s, size_t n) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < n; ++i) {
    h ^= static_cast<unsigned char>(s[i]);
    h *= 16777619u;
  }
  return h;
}

void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

void PutBytes(std::string& out, const std::string& b) {
  Put32(out, static_cast<uint32_t>(b.size()));
  out += b;
}

class Cursor {
 public:
  Cursor(const std::string& s, size_t end) : s_(s), end_(end) {}
  bool Get32(uint32_t* v) {
    if (end_ - pos_ < 4) return false;
    *v = 0;
    for (int i = 3; i >= 0; --i)
      *v = (*v << 8) | static_cast<unsigned char>(s_[pos_ + static_cast<size_t>(i)]);
    pos_ += 4;
    return true;
  }
  bool GetBytes(std::string* b) {
    uint32_t n;
    if (!Get32(&n) || end_ - pos_ < n) return false;
    *b = s_.substr(pos_, n);
    pos_ += n;
    return true;
  }
  bool Skip(size_t n) {
    if (end_ - pos_ < n) return false;
    pos_ += n;
    return true;
  }
  bool AtEnd() const { return pos_ == end_; }

 private:
  const std::string& s_;
  size_t end_;
  size_t pos_ = 0;
};

}  // namespace

std::string PackResourceFile(const ResourceFileContents& c) {
  std::string out(kMagic, sizeof kMagic);
  Put32(out, kVersion);
  Put32(out, static_cast<uint32_t>(c.texts.size()));
  for (const auto& [id, text] : c.texts) {
    Put32(out, id);
    PutBytes(out, Utf16ToUtf8(text));
  }
  Put32(out, static_cast<uint32_t>(c.descriptions.size()));
  for (const auto& [key, named] : c.descriptions) {
    PutBytes(out, Utf16ToUtf8(named.first));
    PutBytes(out, named.second);
  }
  Put32(out, Fnv1a(out, out.size()));
  return out;
}

bool UnpackResourceFile(const std::string& bytes, ResourceFileContents* out) {
  if (bytes.size() < sizeof kMagic + 16 ||
      bytes.compare(0, sizeof kMagic, kMagic, sizeof kMagic) != 0) {
    return false;
  }
  const size_t body = bytes.size() - 4;
  Cursor sum(bytes, bytes.size());
  sum.Skip(body);
  uint32_t checksum;
  if (!sum.Get32(&checksum) || checksum != Fnv1a(bytes, body)) return false;
  Cursor c(bytes, body);
  c.Skip(sizeof kMagic);
  uint32_t version, count;
  if (!c.Get32(&version) || version != kVersion || !c.Get32(&count)) return false;
  ResourceFileContents result;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t id;
    std::string text;
    if (!c.Get32(&id) || !c.GetBytes(&text)) return false;
    result.texts[id] = Utf8ToUtf16(text);
  }
  if (!c.Get32(&count)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    std::string name, data;
    if (!c.GetBytes(&name) || !c.GetBytes(&data)) return false;
    const UString uname = Utf8ToUtf16(name);
    result.descriptions[UpperCase(uname)] = {uname, data};
  }
  if (!c.AtEnd()) return false;
  *out = std::move(result);
  return true;
}

}  // namespace platform
