#include "lang/InitLang_update.h"

#include "config/keys.h"
#include "config/r_register.h"
#include "platform/files.h"
#include "platform/module.h"
#include "platform/regional.h"

namespace lang {

void TAsInheritedReader::ReadPrefix(uint32_t& Flags, int& AChildPos) {
  TReader::ReadPrefix(Flags, AChildPos);
  Flags |= forms::ffInherited;
}

void LanguageSelection() { LanguageSelection(platform::ExecutablePath()); }

void LanguageSelection(UStringView exe_path) {
  config::TDatabaseRegistry store;
  UString lang;
  store.ReadValueRegisterDFset(config::kLangKey, lang, config::kLangValue, config::varString);
  // Exactly "US": the same letters, the same case, nothing around them.
  if (lang == u"US") SwitchResourceLanguage(1033, exe_path);
}

UString LanguageFileName(UStringView exe_path, UStringView abbrev) {
  if (abbrev.empty()) return {};
  // Only the file name's own dot counts, never one in a folder name.
  const size_t name_start = platform::FolderOf(exe_path).size();
  const size_t dot = exe_path.rfind(u'.');
  if (dot == UStringView::npos || dot < name_start || dot == name_start) {
    return UString(exe_path) + u"." + UString(abbrev);
  }
  return UString(exe_path.substr(0, dot + 1)) + UString(abbrev);
}

namespace {

// Loads the file whole; null when there is none, or when it cannot be read
// whole or is not a language file (damaged, truncated, of another format, a
// folder, unreadable): such a file counts as absent, since a language must
// never stand between the user and the update.
std::unique_ptr<platform::ResourceModule> Load(const UString& path) {
  if (path.empty() || !platform::FileExists(path)) return nullptr;
  return platform::LoadResourceFile(path);
}

}  // namespace

const platform::ResourceModule* SwitchResourceLanguage(uint16_t language) {
  return SwitchResourceLanguage(language, platform::ExecutablePath());
}

const platform::ResourceModule* SwitchResourceLanguage(uint16_t language, UStringView exe) {
  const UString abbrev = platform::AbbreviatedLanguageName(language);
  if (exe.empty() || abbrev.empty()) return nullptr;
  std::unique_ptr<platform::ResourceModule> module = Load(LanguageFileName(exe, abbrev));
  if (!module) module = Load(LanguageFileName(exe, UStringView(abbrev).substr(0, 2)));
  if (!module) return nullptr;
  const platform::ResourceModule* in_force = ReplaceResourceModule(std::move(module));
  if (in_force == nullptr) return nullptr;
  try {
    RereadAllForms();
  } catch (const std::exception&) {
    // A description that fails part-way may have changed some captions:
    // the built-in texts and window come back whole.
    platform::ReplaceResourcesInForce(nullptr);
    RereadAllForms();
    return nullptr;
  }
  return in_force;
}

const platform::ResourceModule* ReplaceResourceModule(
    std::unique_ptr<platform::ResourceModule> module) {
  const platform::ResourceModule* p = module.get();
  platform::ReplaceResourcesInForce(std::move(module));
  return p;
}

void RereadAllForms() {
  forms::TApplication* app = forms::TApplication::Current();
  if (app == nullptr) return;
  for (TForm* form : app->Forms()) RereadFormResources(form, u"TForm");
}

bool ReadFormResource(UStringView class_name, const platform::ResourceModule* module,
                      TForm* window) {
  const platform::ResourceModule& m = module != nullptr ? *module : platform::BuiltInResources();
  std::string description;
  if (!m.FindDescription(class_name, &description)) return false;
  TAsInheritedReader reader(description, 4096);
  reader.ReadRootComponent(window);
  return true;
}

namespace {

bool Walk(TForm* window, const std::vector<UString>& chain, size_t i, UStringView stop) {
  if (i >= chain.size() || chain[i] == stop || chain[i] == u"TComponent") return false;
  const bool ancestors = Walk(window, chain, i + 1, stop);
  const bool own = ReadFormResource(chain[i], &platform::ResourcesInForce(), window);
  return ancestors || own;
}

}  // namespace

bool RereadFormResources(TForm* window, UStringView stop_class) {
  return Walk(window, window->ClassChain(), 0, stop_class);
}

}  // namespace lang
