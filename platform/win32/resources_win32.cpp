// Resource sets on Windows: the executable's resources, and resource-only
// DLLs loaded as data files.

#include "platform/files.h"
#include "platform/resources.h"
#include "platform/win32/scoped_handle.h"

namespace platform {
namespace {

class ModuleResources : public ResourceModule {
 public:
  // The executable's own resources: nothing to release.
  explicit ModuleResources(HMODULE module) : module_(module) {}
  // A language file loaded as data, released with the set.
  explicit ModuleResources(ScopedModule loaded)
      : module_(loaded.get()), loaded_(std::move(loaded)) {}
  ModuleResources(const ModuleResources&) = delete;
  ModuleResources& operator=(const ModuleResources&) = delete;

  bool LoadText(uint32_t id, UString* out) const override {
    const wchar_t* p = nullptr;
    // With a buffer size of 0, LoadStringW hands out the resource itself.
    const int n = LoadStringW(module_, id, reinterpret_cast<LPWSTR>(&p), 0);
    if (n <= 0 || p == nullptr) return false;
    *out = UString(p, p + n);
    return true;
  }

  bool FindDescription(UStringView class_name, std::string* out) const override {
    const std::wstring name(class_name.begin(), class_name.end());
    HRSRC res = FindResourceW(module_, name.c_str(), MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (res == nullptr) return false;
    HGLOBAL mem = LoadResource(module_, res);
    const void* data = mem != nullptr ? LockResource(mem) : nullptr;
    if (data == nullptr) return false;
    *out = std::string(static_cast<const char*>(data), SizeofResource(module_, res));
    return true;
  }

 private:
  HMODULE module_;
  ScopedModule loaded_;
};

uint32_t Le32(const std::string& b, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(b[at]) |
                               (static_cast<unsigned char>(b[at + 1]) << 8) |
                               (static_cast<unsigned char>(b[at + 2]) << 16) |
                               (static_cast<unsigned char>(b[at + 3]) << 24));
}

uint16_t Le16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                               (static_cast<unsigned char>(b[at + 1]) << 8));
}

// Whether the file is a whole PE image: headers and every section's data
// within the file. A truncated module loads as a data file all the same, and
// reading its resources would then fault.
bool WholePeFile(UStringView path) {
  std::string b;
  if (!ReadWholeFile(path, &b, nullptr) || b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z') {
    return false;
  }
  const size_t pe = Le32(b, 0x3C);
  if (pe > b.size() || b.size() - pe < 24 || b.compare(pe, 4, std::string("PE\0\0", 4)) != 0) {
    return false;
  }
  const size_t sections = Le16(b, pe + 6);
  const size_t optional = Le16(b, pe + 20);
  const size_t table = pe + 24 + optional;
  if (table > b.size() || (b.size() - table) / 40 < sections) return false;
  for (size_t i = 0; i < sections; ++i) {
    const size_t s = table + 40 * i;
    const uint64_t raw_size = Le32(b, s + 16);
    const uint64_t raw_at = Le32(b, s + 20);
    if (raw_at + raw_size > b.size()) return false;
  }
  return true;
}

}  // namespace

const ResourceModule& BuiltInResources() {
  static const ModuleResources module(GetModuleHandleW(nullptr));
  return module;
}

std::unique_ptr<ResourceModule> LoadResourceFile(UStringView path) {
  if (!WholePeFile(path)) return nullptr;
  const std::wstring p(path.begin(), path.end());
  ScopedModule m(LoadLibraryExW(p.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!m.valid()) return nullptr;
  return std::make_unique<ModuleResources>(std::move(m));
}

const BuiltInTable& BuiltInResourceTable() {
  static const BuiltInTable empty{nullptr, 0, nullptr, 0};
  return empty;
}

}  // namespace platform
