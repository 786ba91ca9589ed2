#include "platform/resources.h"

namespace platform {
namespace {
std::unique_ptr<ResourceModule> g_loaded;
}  // namespace

const ResourceModule& ResourcesInForce() { return g_loaded ? *g_loaded : BuiltInResources(); }

void ReplaceResourcesInForce(std::unique_ptr<ResourceModule> module) {
  g_loaded = std::move(module);  // the earlier file is released here
}

UString LoadResString(uint32_t id) {
  UString text;
  return ResourcesInForce().LoadText(id, &text) ? text : UString();
}

bool LanguageFileInForce() { return g_loaded != nullptr; }

}  // namespace platform
