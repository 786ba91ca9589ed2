// Resource sets on Linux: the built-in table compiled into the program, and
// language files of the project's own format.
#include "platform/files.h"
#include "platform/resource_file.h"
#include "platform/resources.h"

namespace platform {
namespace {

class TableModule : public ResourceModule {
 public:
  explicit TableModule(ResourceFileContents c) : c_(std::move(c)) {}
  bool LoadText(uint32_t id, UString* out) const override {
    auto it = c_.texts.find(id);
    if (it == c_.texts.end()) return false;
    *out = it->second;
    return true;
  }
  bool FindDescription(UStringView class_name, std::string* out) const override {
    auto it = c_.descriptions.find(UpperCase(class_name));
    if (it == c_.descriptions.end()) return false;
    *out = it->second.second;
    return true;
  }

 private:
  ResourceFileContents c_;
};

ResourceFileContents FromTable(const BuiltInTable& t) {
  ResourceFileContents c;
  for (size_t i = 0; i < t.text_count; ++i) {
    c.texts[t.texts[i].id] = WideToUtf16(t.texts[i].text);
  }
  for (size_t i = 0; i < t.description_count; ++i) {
    const UString name = t.descriptions[i].class_name;
    c.descriptions[UpperCase(name)] = {name,
                                       std::string(t.descriptions[i].data, t.descriptions[i].size)};
  }
  return c;
}

}  // namespace

const ResourceModule& BuiltInResources() {
  static const TableModule module(FromTable(BuiltInResourceTable()));
  return module;
}

std::unique_ptr<ResourceModule> LoadResourceFile(UStringView path) {
  std::string bytes;
  ResourceFileContents c;
  if (!ReadWholeFile(path, &bytes, nullptr) || !UnpackResourceFile(bytes, &c)) return nullptr;
  return std::make_unique<TableModule>(std::move(c));
}

}  // namespace platform
