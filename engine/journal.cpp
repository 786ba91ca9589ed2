// The journal of a release that installs whole, and the recovery from it.
#include "engine/journal.h"

#include <algorithm>

#include "engine/contract.h"
#include "platform/files.h"
#include "platform/module.h"

namespace journal {
namespace {

constexpr char kHeader[] = "Vorlo update journal 1";

bool HasLineBreak(const UString& s) { return s.find_first_of(u"\r\n") != UString::npos; }

bool StartsWith(const std::string& s, const char* prefix, std::string* rest) {
  const std::string p(prefix);
  if (s.compare(0, p.size(), p) != 0) return false;
  *rest = s.substr(p.size());
  return true;
}

bool IsIdentity(const std::string& s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return (c >= '0' && c <= '9') || c == ':' || c == '-'; });
}

}  // namespace

std::string Format(const Journal& j) {
  std::string out = std::string(kHeader) + "\n";
  out += "installation=" + platform::Utf16ToUtf8(j.installation) + "\n";
  out += "download=" + platform::Utf16ToUtf8(j.download) + "\n";
  for (const Swap& s : j.swaps) {
    out += "swap=" + platform::Utf16ToUtf8(s.old_id) + "|" + platform::Utf16ToUtf8(s.new_id) + "|" +
           platform::Utf16ToUtf8(s.entry) + "\n";
  }
  for (const UString& d : j.deletions) out += "delete=" + platform::Utf16ToUtf8(d) + "\n";
  out += "end=" + std::to_string(j.swaps.size() + j.deletions.size()) + "\n";
  return out;
}

bool Parse(const std::string& bytes, Journal* out, UString* why) {
  const auto fail = [&](const char16_t* reason) {
    if (why != nullptr) *why = reason;
    return false;
  };
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    const size_t end = bytes.find('\n', start);
    if (end == std::string::npos) return fail(u"it ends in the middle of a line");
    lines.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  if (lines.size() < 4 || lines[0] != kHeader) {
    return fail(u"it is no update journal of this version");
  }
  Journal j;
  std::string v;
  if (!StartsWith(lines[1], "installation=", &v) || v.empty()) return fail(u"no installation");
  j.installation = platform::Utf8ToUtf16(v);
  if (!StartsWith(lines[2], "download=", &v)) return fail(u"no download folder");
  j.download = platform::Utf8ToUtf16(v);
  size_t i = 3;
  for (; i + 1 < lines.size() && StartsWith(lines[i], "swap=", &v); ++i) {
    const size_t a = v.find('|');
    const size_t b = a == std::string::npos ? a : v.find('|', a + 1);
    if (b == std::string::npos || !IsIdentity(v.substr(0, a)) ||
        !IsIdentity(v.substr(a + 1, b - a - 1)) || b - a == 1 || b + 1 == v.size()) {
      return fail(u"a damaged swap line");
    }
    j.swaps.push_back({platform::Utf8ToUtf16(v.substr(b + 1)),
                       platform::Utf8ToUtf16(v.substr(0, a)),
                       platform::Utf8ToUtf16(v.substr(a + 1, b - a - 1))});
  }
  for (; i + 1 < lines.size() && StartsWith(lines[i], "delete=", &v); ++i) {
    if (v.empty()) return fail(u"a damaged delete line");
    j.deletions.push_back(platform::Utf8ToUtf16(v));
  }
  if (i + 1 != lines.size() || !StartsWith(lines[i], "end=", &v) ||
      v != std::to_string(j.swaps.size() + j.deletions.size())) {
    return fail(u"its lines are not whole");
  }
  *out = std::move(j);
  return true;
}

bool Save(const UString& path, const Journal& j, UString* error) {
  bool representable = !HasLineBreak(j.installation) && !HasLineBreak(j.download);
  for (const Swap& s : j.swaps) representable = representable && !HasLineBreak(s.entry);
  for (const UString& d : j.deletions) representable = representable && !HasLineBreak(d);
  if (!representable) {
    if (error != nullptr) *error = u"a name holds a line break";
    return false;
  }
  return platform::WriteWholeFile(path, Format(j), error);
}

Recovery Recover(const UString& path, const UString& installation) {
  Recovery r;
  std::string bytes;
  UString why;
  if (!platform::FileExists(path)) {
    // Nothing, or something that is no file: the latter is no journal of
    // ours and is left alone.
    if (platform::FileIdentity(path).empty()) return r;
    r.outcome = Recovery::kDamaged;
    r.detail = u"it is no regular file";
    return r;
  }
  Journal j;
  if (!platform::ReadWholeFile(path, &bytes, &why) || !Parse(bytes, &j, &why)) {
    r.outcome = Recovery::kDamaged;
    r.detail = why;
    return r;
  }
  r.installation = j.installation;
  if (!installation.empty()) {
    UString wanted = installation;
    if (wanted.back() != platform::kPathSeparator && wanted.back() != u'/') {
      wanted.push_back(platform::kPathSeparator);
    }
    if (platform::UpperCase(wanted) != platform::UpperCase(j.installation)) {
      r.outcome = Recovery::kOther;
      r.detail = j.installation;
      return r;
    }
  }

  // What each file is now, before anything changes.
  enum Action { kNone, kPutBack, kRemove };
  std::vector<Action> actions;
  bool all_in_place = true;
  for (const Swap& s : j.swaps) {
    const UString installed = j.installation + s.entry;
    const UString backup = installed + contract::kBackupSuffix;
    const UString now = platform::FileIdentity(installed);
    if (s.old_id.empty() ? (!now.empty() && now != s.new_id)
                         : (now != s.old_id && ((now != s.new_id && !now.empty()) ||
                                                platform::FileIdentity(backup) != s.old_id))) {
      r.outcome = Recovery::kChanged;
      r.detail = installed;
      return r;
    }
    all_in_place = all_in_place && now == s.new_id;
    if (s.old_id.empty()) {
      actions.push_back(now == s.new_id ? kRemove : kNone);  // new with the release: it goes
    } else {
      actions.push_back(now != s.old_id ? kPutBack : kNone);  // the old file is the backup
    }
  }

  bool refused = false;
  if (all_in_place) {
    // Every file was in place: the release is finished.
    r.deleting = true;
    for (const UString& entry : j.deletions) {
      const UString file = j.installation + entry;
      if (!platform::FileExists(file)) continue;
      const bool deleted = platform::DeleteFileAt(file);
      r.steps.push_back({deleted ? Recovery::Step::kDeleted : Recovery::Step::kRefused, file, {}});
      refused = refused || !deleted;
    }
  } else {
    // The last swapped first, as the updater puts a release back.
    for (size_t k = j.swaps.size(); k-- > 0;) {
      const UString installed = j.installation + j.swaps[k].entry;
      const UString backup = installed + contract::kBackupSuffix;
      if (actions[k] == kPutBack) {
        const bool ok = platform::MoveIntoPlace(backup, installed);
        r.steps.push_back(
            {ok ? Recovery::Step::kPutBack : Recovery::Step::kRefused, installed, backup});
        refused = refused || !ok;
      } else if (actions[k] == kRemove) {
        const bool ok = platform::RemoveName(installed);
        r.steps.push_back(
            {ok ? Recovery::Step::kRemoved : Recovery::Step::kRefused, installed, {}});
        refused = refused || !ok;
      }
    }
  }
  // The staged files a killed run left beside its targets.
  std::vector<UString> folders;
  for (const Swap& s : j.swaps) {
    const UString folder = platform::FolderOf(j.installation + s.entry);
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
      folders.push_back(folder);
      platform::RemoveStaleStaged(folder);
    }
  }
  if (refused || !platform::RemoveName(path)) {
    r.outcome = Recovery::kFailed;
    return r;
  }
  r.outcome = Recovery::kRecovered;
  return r;
}

}  // namespace journal
