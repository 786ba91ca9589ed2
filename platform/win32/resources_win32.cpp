// Resource sets on Windows: the executable's resources, and resource-only
// DLLs loaded as data files.
#include <windows.h>

#include "platform/resources.h"

namespace platform {
namespace {

class ModuleResources : public ResourceModule {
 public:
  ModuleResources(HMODULE module, bool owned) : module_(module), owned_(owned) {}
  ~ModuleResources() override {
    if (owned_) FreeLibrary(module_);
  }
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
  bool owned_;
};

}  // namespace

const ResourceModule& BuiltInResources() {
  static const ModuleResources module(GetModuleHandleW(nullptr), false);
  return module;
}

std::unique_ptr<ResourceModule> LoadResourceFile(UStringView path) {
  const std::wstring p(path.begin(), path.end());
  HMODULE m = LoadLibraryExW(p.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (m == nullptr) return nullptr;
  return std::make_unique<ModuleResources>(m, true);
}

const BuiltInTable& BuiltInResourceTable() {
  static const BuiltInTable empty{nullptr, 0, nullptr, 0};
  return empty;
}

}  // namespace platform
