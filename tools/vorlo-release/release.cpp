#include "tools/vorlo-release/release.h"

#include <algorithm>
#include <map>

#include "config/keys.h"
#include "config/variant.h"
#include "engine/contract.h"
#include "engine/exec.h"
#include "engine/manifest.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/module.h"
#include "platform/sha256.h"
#include "tools/vorlo-reg/reg_file.h"

namespace release {
namespace {

using platform::FolderEntry;
using platform::kPathSeparator;
using platform::UpperCase;

constexpr char16_t kSizesFile[] = u"sizes.reg";
// The keys of the recorded sizes and SHA-256 below HKEY_CURRENT_USER.
const UString kSizesRegKey = UString(u"Software\\Vorlo") + config::kSizesKey;
const UString kSha256RegKey = UString(u"Software\\Vorlo") + config::kSha256Key;
const UString kUpdatesRegKey = UString(u"Software\\Vorlo") + config::kUpdatesKey;

UString WithSeparator(UString folder) {
  if (!folder.empty() && folder.back() != kPathSeparator && folder.back() != u'/') {
    folder.push_back(kPathSeparator);
  }
  return folder;
}

bool EndsWithNoCase(const UString& s, const UString& end) {
  return s.size() >= end.size() && UpperCase(s.substr(s.size() - end.size())) == UpperCase(end);
}

// What the updater leaves in an installation: never part of a release.
bool IsUpdatersOwn(const UString& name) {
  return EndsWithNoCase(name, contract::kBackupSuffix) ||
         UpperCase(name) == UpperCase(contract::kLogFile) || platform::IsStagedName(name);
}

// Every regular file below `folder`, by path below it. Anything else that is
// not a folder is named in `others`.
bool Walk(const UString& folder, const UString& below, std::map<UString, int64_t>* files,
          std::vector<UString>* others, UString* error) {
  std::vector<FolderEntry> entries;
  if (!platform::ListFolder(folder + below, &entries, error)) {
    *error = folder + below + u": " + *error;
    return false;
  }
  for (const FolderEntry& e : entries) {
    const UString path = below + e.name;
    switch (e.kind) {
      case FolderEntry::kFile: (*files)[path] = platform::FileSizeOf(folder + path); break;
      case FolderEntry::kFolder:
        if (!Walk(folder, path + kPathSeparator, files, others, error)) return false;
        break;
      case FolderEntry::kOther: others->push_back(path); break;
    }
  }
  return true;
}

// Whether two files hold the same bytes; false with a message when one
// cannot be read.
bool CompareContent(const UString& a, const UString& b, bool* same, UString* error) {
  platform::FileReader ra, rb;
  if (!ra.Open(a, error)) return *error = a + u": " + *error, false;
  if (!rb.Open(b, error)) return *error = b + u": " + *error, false;
  std::string ba(1 << 16, '\0'), bb(1 << 16, '\0');
  for (;;) {
    const int64_t na = ra.Read(ba.data(), ba.size(), error);
    if (na < 0) return *error = a + u": " + *error, false;
    // As much from b (a read may come short).
    int64_t nb = 0;
    while (nb < na) {
      const int64_t n = rb.Read(bb.data() + nb, static_cast<size_t>(na - nb), error);
      if (n < 0) return *error = b + u": " + *error, false;
      if (n == 0) break;
      nb += n;
    }
    if (na == 0) {
      // a has ended: the same when b has too.
      const int64_t n = rb.Read(bb.data(), 1, error);
      if (n < 0) return *error = b + u": " + *error, false;
      *same = n == 0;
      return true;
    }
    if (nb != na || ba.compare(0, static_cast<size_t>(na), bb, 0, static_cast<size_t>(nb)) != 0) {
      *same = false;
      return true;
    }
  }
}

bool IsControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// Why the updater would read `path` (a manifest entry) as another name, or
// refuse it; empty when it reads it as it is.
UString NameProblem(const UString& path) {
  if (std::any_of(path.begin(), path.end(), IsControl)) return u"holds a control character";
  if (path.find(u':') != UString::npos) return u"holds a colon";
  if (path.find(u'"') != UString::npos) {
    return u"holds a double quote, which the updater removes from manifest lines";
  }
  if (path.front() <= 32 || path.back() <= 32) {
    return u"begins or ends with a blank, which the updater trims from manifest lines";
  }
  if (kPathSeparator == u'/' && path.find(u'\\') != UString::npos) {
    return u"holds a backslash, which the updater reads as a folder separator";
  }
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(kPathSeparator, start);
    if (end == UString::npos) end = path.size();
    if (platform::Trim(path.substr(start, end - start)) == u"..") {
      return u"has a \"..\" component, which the updater refuses";
    }
    start = end + 1;
  }
  if (platform::AnsiToUtf16(platform::Utf16ToAnsi(path)) != path) {
    return u"cannot be written in the system's code page, in which the updater reads the manifest";
  }
  for (const char16_t* key :
       {contract::kLocalFiles, contract::kDeleteLocalFiles, contract::kEndKey}) {
    if (UpperCase(path) == UpperCase(key)) return u"reads as a section key of the manifest";
  }
  return {};
}

// The longest file name the system takes: bytes on Linux, UTF-16 units on
// Windows.
size_t NameLength(const UString& name) {
  return kPathSeparator == u'/' ? platform::PathToNative(name).size() : name.size();
}

UString Join(const std::vector<UString>& names) {
  UString out;
  for (const UString& n : names) out += (out.empty() ? u"" : u", ") + n;
  return out;
}

std::string Line(const UString& text) { return platform::Utf16ToAnsi(text) + "\r\n"; }

UString ManifestEntry(UString path) {
  std::replace(path.begin(), path.end(), kPathSeparator, u'\\');
  return path;
}

}  // namespace

std::vector<ReleaseFile> Plan::Shipped() const {
  std::vector<ReleaseFile> all = added;
  all.insert(all.end(), changed.begin(), changed.end());
  const UString main = UpperCase(contract::kMainExecutable);
  std::sort(all.begin(), all.end(), [&](const ReleaseFile& a, const ReleaseFile& b) {
    const bool am = UpperCase(a.path) == main, bm = UpperCase(b.path) == main;
    if (am != bm) return am;
    return a.path < b.path;
  });
  return all;
}

void CheckNames(Plan* plan) {
  const std::vector<ReleaseFile> shipped = plan->Shipped();
  for (const ReleaseFile& f : shipped) {
    const UString problem = NameProblem(f.path);
    if (!problem.empty()) plan->refusals.push_back(f.path + u": the name " + problem + u".");
    const UString name = manifest::FileNamePart(f.path);
    if (NameLength(name + contract::kBackupSuffix) > 255) {
      plan->refusals.push_back(f.path + u": its backup name " + name + contract::kBackupSuffix +
                               u" would be longer than the system allows (255).");
    }
    if (UpperCase(f.path) == UpperCase(contract::kUpdaterEntry)) {
      plan->refusals.push_back(
          f.path +
          u": the updater never replaces itself. Ship the new updater under another name (for "
          u"example UPDATE.EXE.new) and have Vorlo put it in place at its next start, or ship "
          u"it with Vorlo's installer.");
    }
  }
  for (const UString& d : plan->dropped) {
    const UString problem = NameProblem(d);
    if (!problem.empty()) {
      plan->refusals.push_back(d + u" (dropped): the name " + problem + u".");
    }
    // The updater's program: UPDATE.EXE, or update on Linux.
    if (UpperCase(d) == UpperCase(contract::kUpdaterEntry) || d == u"update") {
      plan->refusals.push_back(d +
                               u" (dropped): the updater would delete itself. Keep the "
                               u"updater in the new build.");
    }
  }
  // The recorded size is kept per file name, whatever the folder.
  std::map<UString, std::vector<const ReleaseFile*>> by_name;
  for (const ReleaseFile& f : shipped) {
    by_name[UpperCase(manifest::FileNamePart(f.path))].push_back(&f);
  }
  for (const auto& named : by_name) {
    const std::vector<const ReleaseFile*>& files = named.second;
    const bool sizes_differ = std::any_of(files.begin(), files.end(), [&](const ReleaseFile* f) {
      return f->size != files.front()->size;
    });
    const bool contents_differ =
        plan->sha256 && std::any_of(files.begin(), files.end(), [&](const ReleaseFile* f) {
          return f->sha256 != files.front()->sha256;
        });
    if (!sizes_differ && !contents_differ) continue;
    std::vector<UString> listed;
    for (const ReleaseFile* f : files) {
      listed.push_back(f->path + u" (" + platform::IntToText(f->size) + u" bytes)");
    }
    if (sizes_differ) {
      plan->refusals.push_back(u"Files of one name with different sizes: " + Join(listed) +
                               u". The updater records one size per file name, so all but one "
                               u"would be refused; rename them or ship them in separate "
                               u"releases.");
    } else {
      plan->refusals.push_back(u"Files of one name with different contents: " + Join(listed) +
                               u". The updater records one SHA-256 per file name, so all but one "
                               u"would be refused; rename them, ship them in separate releases, "
                               u"or record no SHA-256 (--no-sha256).");
    }
  }
  // The file the updater starts again: the first entry naming Vorlo's executable.
  std::vector<UString> entries;
  for (const ReleaseFile& f : shipped) entries.push_back(f.path);
  const UString target = TExec::GiveExec(entries);
  if (target.empty()) {
    plan->notes.push_back(
        u"vorlo.exe is not part of this release: the updater will not start Vorlo again.");
  } else if (UpperCase(target) != UpperCase(contract::kMainExecutable)) {
    plan->refusals.push_back(target + u" would be started as Vorlo after the update: the " +
                             u"updater starts the first entry whose name holds vorlo.exe, and " +
                             u"Vorlo is vorlo.exe in the installation folder. Rename it, or " +
                             u"ship vorlo.exe too.");
  }
}

bool MakePlan(const UString& old_dir, const UString& new_dir, bool sha256, Plan* plan,
              UString* error) {
  const UString old_folder = WithSeparator(old_dir), new_folder = WithSeparator(new_dir);
  std::map<UString, int64_t> old_files, new_files;
  std::vector<UString> old_others, new_others;
  if (!Walk(old_folder, u"", &old_files, &old_others, error) ||
      !Walk(new_folder, u"", &new_files, &new_others, error)) {
    return false;
  }
  Plan p;
  p.sha256 = sha256;
  for (const UString& o : new_others) {
    p.refusals.push_back(o + u": neither a file nor a folder (a link to a folder, a pipe, a " +
                         u"device); a release holds files only.");
  }
  for (const auto& [path, size] : new_files) {
    if (IsUpdatersOwn(manifest::FileNamePart(path))) {
      p.notes.push_back(path + u" is left out: the updater makes files of that name itself.");
      continue;
    }
    const auto old = old_files.find(path);
    if (old == old_files.end()) {
      p.added.push_back({path, size});
      continue;
    }
    bool same = old->second == size;
    if (same && !CompareContent(old_folder + path, new_folder + path, &same, error)) return false;
    if (!same) p.changed.push_back({path, size});
  }
  // Folders the installation lacks: the updater puts files in folders but
  // does not make them.
  std::vector<UString> new_folders;
  for (const ReleaseFile& f : p.added) {
    const size_t sep = f.path.rfind(kPathSeparator);
    if (sep == UString::npos) continue;
    const UString folder = f.path.substr(0, sep);
    if (!platform::FolderExists(old_folder + folder) &&
        std::find(new_folders.begin(), new_folders.end(), folder) == new_folders.end()) {
      new_folders.push_back(folder);
    }
  }
  if (!new_folders.empty()) {
    p.notes.push_back(u"New folders " + Join(new_folders) +
                      u": the updater does not make folders. StageUpdate makes them before it "
                      u"starts the updater; a downloader of your own must do the same.");
  }
  for (const auto& [path, size] : old_files) {
    (void)size;
    if (new_files.count(path) == 0 && !IsUpdatersOwn(manifest::FileNamePart(path))) {
      p.dropped.push_back(path);
    }
  }
  if (sha256) {
    for (std::vector<ReleaseFile>* list : {&p.added, &p.changed}) {
      for (ReleaseFile& f : *list) {
        if (!platform::FileSha256(new_folder + f.path, &f.sha256, error)) {
          *error = new_folder + f.path + u": " + *error;
          return false;
        }
      }
    }
  }
  CheckNames(&p);
  *plan = std::move(p);
  return true;
}

std::string ManifestBytes(const Plan& plan) {
  std::string out = Line(contract::kLocalFiles);
  for (const ReleaseFile& f : plan.Shipped()) out += Line(ManifestEntry(f.path));
  out += Line(contract::kEndKey);
  out += Line(contract::kDeleteLocalFiles);
  for (const UString& d : plan.dropped) out += Line(ManifestEntry(d));
  out += Line(contract::kEndKey);
  return out;
}

bool SizesRegBytes(const Plan& plan, std::string* out, UString* error) {
  regtool::RegFileKey sizes, hashes;
  sizes.path = kSizesRegKey;
  hashes.path = kSha256RegKey;
  for (const ReleaseFile& f : plan.Shipped()) {
    const UString name = manifest::FileNamePart(f.path);
    const bool seen = std::any_of(sizes.values.begin(), sizes.values.end(), [&](const auto& v) {
      return UpperCase(v.name) == UpperCase(name);
    });
    if (seen) continue;
    sizes.values.push_back({name, false, platform::RegValue::Text(platform::IntToText(f.size))});
    if (plan.sha256) {
      hashes.values.push_back({name, false, platform::RegValue::Text(u"\"" + f.sha256 + u"\"")});
    }
  }
  std::vector<regtool::RegFileKey> keys;
  if (plan.whole) {
    keys.push_back({kUpdatesRegKey,
                    false,
                    {{config::kWholeReleaseValue, false, platform::RegValue::Dword(1)}}});
  }
  keys.push_back(sizes);
  if (plan.sha256) keys.push_back(hashes);
  return regtool::FormatRegFile(keys, out, error);
}

bool WriteRelease(const Plan& plan, const UString& new_dir, const UString& out_dir,
                  const Progress& progress, UString* error) {
  const UString from = WithSeparator(new_dir), to = WithSeparator(out_dir);
  std::vector<FolderEntry> present;
  if (platform::FolderExists(to)) {
    if (!platform::ListFolder(to, &present, error)) return *error = to + u": " + *error, false;
    if (!present.empty()) {
      *error = to + u" is not empty: a release is written into a new or empty folder.";
      return false;
    }
  } else if (platform::FileExists(to.substr(0, to.size() - 1))) {
    *error = to + u" is a file.";
    return false;
  }
  if (!platform::MakeFolders(to, error)) return *error = to + u": " + *error, false;
  const std::vector<ReleaseFile> shipped = plan.Shipped();
  int64_t total = 0, done = 0;
  for (const ReleaseFile& f : shipped) total += f.size;
  for (size_t i = 0; i < shipped.size(); ++i) {
    const UString& path = shipped[i].path;
    const size_t slash = path.rfind(kPathSeparator);
    if (slash != UString::npos && !platform::MakeFolders(to + path.substr(0, slash), error)) {
      return *error = to + path.substr(0, slash) + u": " + *error, false;
    }
    if (!platform::CopyIntoPlace(from + path, to + path)) {
      *error = u"Cannot copy " + from + path + u" to " + to + path + u".";
      return false;
    }
    done += shipped[i].size;
    if (progress) progress(i + 1, shipped.size(), done, total);
  }
  std::string sizes;
  if (!SizesRegBytes(plan, &sizes, error)) return false;
  if (!platform::WriteWholeFile(to + contract::kManifest, ManifestBytes(plan), error)) {
    return *error = to + contract::kManifest + u": " + *error, false;
  }
  if (!platform::WriteWholeFile(to + kSizesFile, sizes, error)) {
    return *error = to + kSizesFile + u": " + *error, false;
  }
  return true;
}

bool CheckReport::Ok() const {
  return std::none_of(lines.begin(), lines.end(), [](const CheckLine& l) {
    return l.kind == CheckLine::kSizeMismatch || l.kind == CheckLine::kContentMismatch ||
           l.kind == CheckLine::kMissing || l.kind == CheckLine::kRefused;
  });
}

bool CheckDownload(const UString& download_dir, CheckReport* report, UString* error) {
  const UString folder = WithSeparator(download_dir);
  std::string bytes;
  if (!platform::ReadWholeFile(folder + contract::kManifest, &bytes, error)) {
    *error = folder + contract::kManifest + u": " + *error;
    return false;
  }
  CheckReport r;
  // The recorded sizes and SHA-256, as the updater would find them once
  // sizes.reg is imported.
  std::map<UString, int64_t> sizes;
  std::map<UString, UString> hashes;
  std::string reg_bytes;
  if (platform::FileExists(folder + kSizesFile)) {
    regtool::RegFile reg;
    if (!platform::ReadWholeFile(folder + kSizesFile, &reg_bytes, error) ||
        !regtool::ParseRegFile(reg_bytes, &reg, error)) {
      *error = folder + kSizesFile + u": " + *error;
      return false;
    }
    r.sizes_known = true;
    for (const regtool::RegFileKey& k : reg.keys) {
      if (!k.remove && UpperCase(k.path) == UpperCase(kUpdatesRegKey)) {
        for (const regtool::RegFileValue& v : k.values) {
          if (UpperCase(v.name) != UpperCase(config::kWholeReleaseValue)) continue;
          r.whole = !v.remove && v.value.type == platform::kRegDword && v.value.data.size() == 4 &&
                    (v.value.data[0] | v.value.data[1] | v.value.data[2] | v.value.data[3]) != 0;
        }
      }
      if (!k.remove && UpperCase(k.path) == UpperCase(kSha256RegKey)) {
        for (const regtool::RegFileValue& v : k.values) {
          // A text of the store, in double quotes.
          const UString text = v.value.AsText();
          if (!v.remove && text.size() >= 2)
            hashes[UpperCase(v.name)] = text.substr(1, text.size() - 2);
        }
      }
      if (k.remove || UpperCase(k.path) != UpperCase(kSizesRegKey)) continue;
      for (const regtool::RegFileValue& v : k.values) {
        int64_t n;
        const bool text =
            v.value.type == platform::kRegSz || v.value.type == platform::kRegExpandSz;
        if (!v.remove && text && config::TextToInt64(v.value.AsText(), &n)) {
          sizes[UpperCase(v.name)] = n;
        } else {
          sizes.erase(UpperCase(v.name));
        }
      }
    }
  }
  std::vector<UString> accepted;
  for (const manifest::Line& l :
       manifest::ReadSection(bytes, folder, contract::kLocalFiles, contract::kEndKey)) {
    if (l.kind == manifest::Line::kRefused) r.lines.push_back({CheckLine::kRefused, l.text});
    if (l.kind != manifest::Line::kEntry) continue;
    if (!platform::FileExists(folder + l.text)) {
      r.lines.push_back({CheckLine::kMissing, l.text});
      continue;
    }
    const int64_t actual = platform::FileSizeOf(folder + l.text);
    int64_t recorded = -1;
    if (r.sizes_known) {
      const auto it = sizes.find(UpperCase(manifest::FileNamePart(l.text)));
      if (it != sizes.end()) recorded = it->second;
      if (recorded != actual) {
        r.lines.push_back({CheckLine::kSizeMismatch, l.text, recorded, actual});
        continue;
      }
      const auto hash = hashes.find(UpperCase(manifest::FileNamePart(l.text)));
      if (hash != hashes.end()) {
        UString found, why;
        if (!platform::FileSha256(folder + l.text, &found, &why)) found = why;
        const UString wanted = platform::Trim(hash->second);
        if (platform::AsciiUpperCase(found) != platform::AsciiUpperCase(wanted)) {
          CheckLine line{CheckLine::kContentMismatch, l.text, recorded, actual};
          line.recorded_sha256 = wanted;
          line.actual_sha256 = found;
          r.lines.push_back(line);
          continue;
        }
      }
    }
    accepted.push_back(l.text);
    const bool updater = UpperCase(l.text) == UpperCase(contract::kUpdaterEntry);
    r.lines.push_back({updater ? CheckLine::kKept : CheckLine::kAdd, l.text, recorded, actual});
  }
  for (const manifest::Line& l :
       manifest::ReadSection(bytes, folder, contract::kDeleteLocalFiles, contract::kEndKey)) {
    if (l.kind == manifest::Line::kRefused) r.lines.push_back({CheckLine::kRefused, l.text});
    if (l.kind == manifest::Line::kEntry) r.lines.push_back({CheckLine::kDelete, l.text});
  }
  const UString target = TExec::GiveExec(accepted);
  if (!target.empty()) r.lines.push_back({CheckLine::kRestart, target});
  *report = std::move(r);
  return true;
}

}  // namespace release
