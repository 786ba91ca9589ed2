// Resource sets: the numbered texts and stored window descriptions a module
// holds. The executable's own set is built in (Windows: its resources;
// Linux: data compiled into it); a language file is another set, loaded as
// data only (Windows: a resource-only DLL; Linux: the file format of
// docs/resource-file.md).
//
// Every text and description is looked up in the set in force: the built-in
// one until ReplaceResourcesInForce puts a loaded file in its place.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/text.h"

namespace platform {

class ResourceModule {
 public:
  virtual ~ResourceModule() = default;
  // The text with this identifier; false when the set has none.
  virtual bool LoadText(uint32_t id, UString* out) const = 0;
  // The description named after a class (names compare without regard to
  // case); false when the set has none.
  virtual bool FindDescription(UStringView class_name, std::string* out) const = 0;
};

// The executable's own set.
const ResourceModule& BuiltInResources();

// Loads a language file as data; null when there is no such file or it is not
// a resource file. Nothing in it runs.
std::unique_ptr<ResourceModule> LoadResourceFile(UStringView path);

// The set in force.
const ResourceModule& ResourcesInForce();

// Makes `module` the set in force; a file in force from an earlier call is
// released. Call on the window thread while no worker runs.
void ReplaceResourcesInForce(std::unique_ptr<ResourceModule> module);

// The text `id` of the set in force; empty when the set lacks it (there is no
// fall-back to the built-in text).
UString LoadResString(uint32_t id);

// Whether a loaded file (rather than the built-in set) is in force.
bool LanguageFileInForce();

// The built-in texts and descriptions of the Linux build, compiled in from
// resources/ (resources/builtin_posix.cpp); unused on Windows.
struct BuiltInText {
  uint32_t id;
  const wchar_t* text;
};
struct BuiltInDescription {
  const char16_t* class_name;
  const char* data;
  size_t size;
};
struct BuiltInTable {
  const BuiltInText* texts;
  size_t text_count;
  const BuiltInDescription* descriptions;
  size_t description_count;
};
const BuiltInTable& BuiltInResourceTable();

}  // namespace platform
