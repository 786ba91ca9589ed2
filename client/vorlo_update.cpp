#include "client/vorlo_update.h"

#include <map>
#include <vector>

#include "config/keys.h"
#include "config/r_register.h"
#include "engine/contract.h"
#include "engine/journal.h"
#include "engine/manifest.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/hive.h"
#include "platform/module.h"
#include "platform/shell_launch.h"
#include "tools/vorlo-reg/reg_file.h"

namespace vorlo_update {
namespace {

using platform::UpperCase;
using platform::UString;

// The updater's program in the installation folder.
const UString kUpdaterProgram =
    platform::kPathSeparator == u'\\' ? UString(contract::kUpdaterEntry) : UString(u"update");
constexpr char16_t kSizesFile[] = u"sizes.reg";
const UString kSizesRegKey = UString(u"Software\\Vorlo") + config::kSizesKey;
const UString kSha256RegKey = UString(u"Software\\Vorlo") + config::kSha256Key;

UString Folder(const std::string& path) {
  UString f = platform::PathFromNative(path);
  if (!f.empty() && f.back() != platform::kPathSeparator && f.back() != u'/') {
    f.push_back(platform::kPathSeparator);
  }
  return f;
}

bool Fail(std::string* error, const UString& why) {
  if (error != nullptr) *error = platform::PathToNative(why);
  return false;
}

const UString kUpdatesRegKey = UString(u"Software\\Vorlo") + config::kUpdatesKey;

// The sizes and SHA-256 (texts in double quotes, as the store writes them) a
// download's sizes.reg records, by file name upper-cased, and whether it asks
// for the release to install whole.
bool ReadSizesReg(const UString& file, std::map<UString, int64_t>* sizes,
                  std::map<UString, UString>* hashes, bool* whole, UString* error) {
  std::string bytes;
  regtool::RegFile reg;
  if (!platform::ReadWholeFile(file, &bytes, error) || !regtool::ParseRegFile(bytes, &reg, error)) {
    return false;
  }
  for (const regtool::RegFileKey& k : reg.keys) {
    if (!k.remove && UpperCase(k.path) == UpperCase(kUpdatesRegKey)) {
      for (const regtool::RegFileValue& v : k.values) {
        if (UpperCase(v.name) != UpperCase(config::kWholeReleaseValue)) continue;
        *whole = !v.remove && v.value.type == platform::kRegDword && v.value.data.size() == 4 &&
                 (v.value.data[0] | v.value.data[1] | v.value.data[2] | v.value.data[3]) != 0;
      }
    }
    if (!k.remove && UpperCase(k.path) == UpperCase(kSha256RegKey)) {
      for (const regtool::RegFileValue& v : k.values) {
        const UString text = v.value.AsText();
        if (!v.remove && text.size() >= 2) {
          (*hashes)[UpperCase(v.name)] = text.substr(1, text.size() - 2);
        }
      }
    }
    if (k.remove || UpperCase(k.path) != UpperCase(kSizesRegKey)) continue;
    for (const regtool::RegFileValue& v : k.values) {
      int64_t n;
      const bool text = v.value.type == platform::kRegSz || v.value.type == platform::kRegExpandSz;
      if (!v.remove && text && config::TextToInt64(v.value.AsText(), &n)) {
        (*sizes)[UpperCase(v.name)] = n;
      }
    }
  }
  return true;
}

}  // namespace

bool RecoverInterruptedUpdate(const std::string& install_dir, std::string* error,
                              std::vector<std::string>* done) {
  using journal::Recovery;
  const UString install = Folder(install_dir);
  const UString path = install + journal::kJournalFile;
  const Recovery r = journal::Recover(path, install);
  if (done != nullptr) {
    for (const Recovery::Step& step : r.steps) {
      UString line;
      switch (step.kind) {
        case Recovery::Step::kPutBack: line = u"put back " + step.path; break;
        case Recovery::Step::kRemoved:
          line = u"removed " + step.path + u" (new with the release)";
          break;
        case Recovery::Step::kDeleted:
          line = u"deleted " + step.path + u" (dropped by the release)";
          break;
        case Recovery::Step::kRefused: line = u"refused: " + step.path; break;
      }
      done->push_back(platform::PathToNative(line));
    }
  }
  switch (r.outcome) {
    case Recovery::kNothing: return true;
    case Recovery::kRecovered:
      if (done != nullptr) {
        done->push_back(platform::PathToNative(
            r.deleting ? u"The interrupted update's deletions are finished: " + install +
                             u" holds the new release."
                       : u"The interrupted update is put back: " + install +
                             u" holds the previous release."));
      }
      return true;
    case Recovery::kDamaged:
      return Fail(error, u"The update journal " + path + u" cannot be read (" + r.detail +
                             u"); it is left as it is.");
    case Recovery::kOther:
      return Fail(error, u"The update journal " + path + u" belongs to another installation (" +
                             r.detail + u"); it is left as it is.");
    case Recovery::kChanged:
      return Fail(error, u"The file " + r.detail +
                             u" changed since the update was interrupted; nothing is put back (" +
                             path + u").");
    case Recovery::kFailed: break;
  }
  return Fail(error, u"The interrupted update could not be put back entirely; the journal " + path +
                         u" is kept for a next try.");
}

bool StageUpdate(const std::string& install_dir, const std::string& download_dir,
                 std::string* error) {
  if (!RecoverInterruptedUpdate(install_dir, error)) return false;
  const UString install = Folder(install_dir), download = Folder(download_dir);
  if (install.empty() || !platform::FolderExists(install)) {
    return Fail(error, u"The installation folder " + install + u" does not exist.");
  }
  if (download.empty() || !platform::FolderExists(download)) {
    return Fail(error, u"The download folder " + download + u" does not exist.");
  }
  const UString updater = install + kUpdaterProgram;
  if (!platform::FileExists(updater))
    return Fail(error, u"The updater " + updater + u" is missing.");
  UString why;
  std::string manifest_bytes;
  if (!platform::ReadWholeFile(download + contract::kManifest, &manifest_bytes, &why)) {
    return Fail(error,
                u"The manifest " + download + contract::kManifest + u" cannot be read: " + why);
  }
  std::map<UString, int64_t> recorded;
  std::map<UString, UString> recorded_hashes;
  const bool have_sizes = platform::FileExists(download + kSizesFile);
  bool whole = false;
  if (have_sizes &&
      !ReadSizesReg(download + kSizesFile, &recorded, &recorded_hashes, &whole, &why)) {
    return Fail(error, download + kSizesFile + u" cannot be read: " + why);
  }

  // Each listed file: its size, and its folder in the installation.
  std::map<UString, int64_t> sizes;
  std::map<UString, UString> hashes;
  for (const manifest::Line& line :
       manifest::ReadSection(manifest_bytes, download, contract::kLocalFiles, contract::kEndKey)) {
    if (line.kind != manifest::Line::kEntry) continue;  // the updater reports the others
    const UString name = manifest::FileNamePart(line.text);
    const auto from_reg = recorded.find(UpperCase(name));
    if (from_reg != recorded.end()) {
      sizes[name] = from_reg->second;
    } else if (!have_sizes && platform::FileExists(download + line.text)) {
      sizes[name] = platform::FileSizeOf(download + line.text);
    }
    const auto hash = recorded_hashes.find(UpperCase(name));
    if (hash != recorded_hashes.end()) hashes[name] = hash->second;
    const size_t sep = line.text.rfind(platform::kPathSeparator);
    if (sep != UString::npos && !platform::MakeFolders(install + line.text.substr(0, sep), &why)) {
      return Fail(error,
                  u"Cannot make the folder " + install + line.text.substr(0, sep) + u": " + why);
    }
  }

  config::TDatabaseRegistry store;
  store.DeleteKey(config::kSizesKey);
  store.DeleteKey(config::kSha256Key);
  for (const auto& [name, size] : sizes) {
    store.WriteCFGtoRegister(config::kSizesKey, config::Variant(size), name);
  }
  for (const auto& [name, hex] : hashes) {
    store.WriteCFGtoRegister(config::kSha256Key, config::Variant(hex), name);
  }
  // Whole or file by file, as this release asks; an earlier release's choice
  // goes.
  try {
    platform::Hive hive;
    std::optional<platform::RegKey> key = hive.Create(kUpdatesRegKey);
    platform::RegValue read;
    if (key && !whole) key->DeleteValue(config::kWholeReleaseValue);
    const bool kept =
        key && (whole ? key->Write(config::kWholeReleaseValue, platform::RegValue::Dword(1))
                      : !key->Read(config::kWholeReleaseValue, &read));
    if (!kept) return Fail(error, u"The configuration did not keep WholeRelease.");
  } catch (const platform::HiveError& e) {
    return Fail(error, u"The configuration cannot be written: " + e.Message());
  }
  store.WriteCFGtoRegister(config::kUpdatesKey, config::Variant(install), config::kExecPathValue);
  store.WriteCFGtoRegister(config::kUpdatesKey, config::Variant(download), config::kFilesPathValue);
  // Read back as the updater reads them: the store reports nothing on writing.
  const std::pair<const char16_t*, const UString*> paths[] = {{config::kExecPathValue, &install},
                                                              {config::kFilesPathValue, &download}};
  for (const auto& [value, wanted] : paths) {
    UString read;
    if (!store.ReadValueRegisterDFset(config::kUpdatesKey, read, value, config::varString) ||
        read != *wanted) {
      return Fail(error,
                  u"The configuration did not keep " + UString(value) + u": " + store.ErrorMessage);
    }
  }
  for (const auto& [name, size] : sizes) {
    int64_t read = -1;
    if (!store.ReadValueRegisterDFset(config::kSizesKey, read, name, config::varInt64) ||
        read != size) {
      return Fail(error, u"The configuration did not keep the size of " + name + u": " +
                             store.ErrorMessage);
    }
  }

  for (const auto& [name, hex] : hashes) {
    UString read;
    if (!store.ReadValueRegisterDFset(config::kSha256Key, read, name, config::varString) ||
        read != hex) {
      return Fail(error, u"The configuration did not keep the SHA-256 of " + name + u": " +
                             store.ErrorMessage);
    }
  }

  const int launched = platform::ShellLaunch(nullptr, updater, install);
  if (launched <= platform::kLaunchFailedAtMost) {
    return Fail(error, u"The updater " + updater + u" cannot be started (code " +
                           platform::IntToText(launched) + u").");
  }
  return true;
}

}  // namespace vorlo_update
