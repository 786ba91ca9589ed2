// Reading one section of the release manifest.
#include "engine/manifest.h"

#include <string>

#include "config/keys.h"
#include "config/r_register.h"
#include "engine/contract.h"
#include "engine/exec.h"
#include "platform/module.h"
#include "platform/resources.h"
#include "resources/texts.h"

using platform::LoadResString;

namespace {

// The manifest's lines: LF or CR LF end a line, a lone CR is dropped, a byte
// 0x1A ends the text; no byte-order mark is recognised.
std::vector<std::string> SplitManifest(const std::string& bytes) {
  std::vector<std::string> lines;
  std::string line;
  bool any = false;
  for (char c : bytes) {
    if (c == '\x1A') break;
    any = true;
    if (c == '\n') {
      lines.push_back(std::move(line));
      line.clear();
      any = false;
    } else if (c != '\r') {
      line.push_back(c);
    }
  }
  if (any) lines.push_back(std::move(line));
  return lines;
}

bool IsKey(const UString& line, const UString& key) {
  // Upper-casing keeps the length, so most lines are told apart without it.
  return line.size() == key.size() && platform::UpperCase(line) == platform::UpperCase(key);
}

// An entry that would lead out of its folder or name something else than a
// file in it: a ".." component, a colon (a drive or a stream), a leading
// separator that the one-separator rule left (an absolute path, a network
// name), or a control character (a NUL would cut the name short).
bool LeavesFolder(const UString& entry) {
  if (entry.find(u':') != UString::npos) return true;
  if (!entry.empty() && (entry.front() == u'\\' || entry.front() == u'/')) return true;
  for (char16_t c : entry) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
  }
  size_t start = 0;
  while (start <= entry.size()) {
    size_t end = entry.find_first_of(u"\\/", start);
    if (end == UString::npos) end = entry.size();
    // The component without the blanks around it.
    size_t b = start, e = end;
    while (b < e && entry[b] <= 32) ++b;
    while (e > b && entry[e - 1] <= 32) --e;
    if (e - b == 2 && entry[b] == u'.' && entry[b + 1] == u'.') return true;
    start = end + 1;
  }
  return false;
}

// The entry as a log line may show it: a control character as U+FFFD, so
// that no NUL or line break reaches the view or update.log.
UString Shown(UString entry) {
  for (char16_t& c : entry) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) c = 0xFFFD;
  }
  return entry;
}

}  // namespace

namespace manifest {

UString FileNamePart(const UString& entry) {
  const size_t pos = entry.find_last_of(u"\\/:");
  return pos == UString::npos ? entry : entry.substr(pos + 1);
}

std::vector<Line> ReadSection(const std::string& bytes, const UString& folder,
                              const UString& begin_key, const UString& end_key) {
  std::vector<Line> out;
  bool open = false;
  for (const std::string& raw : SplitManifest(bytes)) {
    const UString line = platform::Trim(platform::AnsiToUtf16(raw));
    if (!open && IsKey(line, begin_key)) {
      open = true;
      out.push_back({Line::kSectionBegin, begin_key});
      continue;
    }
    if (open && IsKey(line, end_key)) {
      open = false;
      out.push_back({Line::kSectionEnd, end_key});
      continue;
    }
    if (line.empty() || !open) continue;

    UString entry;
    for (char16_t c : line) {
      if (c != u'"') entry.push_back(c);
    }
    entry = platform::Trim(entry);
    // Entries written with Windows' separator name the same files here.
    for (char16_t& c : entry) {
      if (c == u'\\') c = platform::kPathSeparator;
    }
    if (!entry.empty() && !folder.empty() && folder.back() == platform::kPathSeparator &&
        entry.front() == platform::kPathSeparator) {
      entry.erase(0, 1);
    }
    if (LeavesFolder(entry)) {
      out.push_back({Line::kRefused, Shown(entry)});
    } else {
      out.push_back({Line::kEntry, std::move(entry)});
    }
  }
  return out;
}

}  // namespace manifest

void TExec::LoadFilesToReplace(const UString& Path, const UString& BeginSectionKey,
                               const UString& EndSectionKey, std::vector<UString>& FileList,
                               bool CheckForSize) {
  try {
    config::TDatabaseRegistry store;
    const UString manifest_file = User_Path + contract::kManifest;
    std::string bytes;
    UString error;
    if (!Sys->FileExists(manifest_file))
      throw platform::Exception(u"The specified file was not found");
    if (!Sys->ReadWholeFile(manifest_file, &bytes, &error)) throw platform::Exception(error);

    // The texts of this call, looked up once.
    const UString added = LoadResString(texts::kEntryAdded);
    const UString not_found = LoadResString(texts::kEntryNotFound);
    const UString refused = LoadResString(texts::kEntryRefused);
    // Releases without SHA-256 values cost no lookup per file.
    const bool sha256 = CheckForSize && store.SubKeyexists(config::kSha256Key);
    for (const manifest::Line& line :
         manifest::ReadSection(bytes, Path, BeginSectionKey, EndSectionKey)) {
      const UString& entry = line.text;
      switch (line.kind) {
        case manifest::Line::kSectionBegin:
          Log = LoadResString(texts::kSectionBegin) + entry;
          continue;
        case manifest::Line::kSectionEnd: Log = LoadResString(texts::kSectionEnd) + entry; continue;
        case manifest::Line::kRefused:
          if (CheckForSize) left_out_.emplace_back(Path + entry, texts::kWhyRefused);
          Log = refused + Path + entry;
          continue;
        case manifest::Line::kEntry: break;
      }
      const UString file = Path + entry;
      if (!Sys->FileExists(file)) {
        if (CheckForSize) left_out_.emplace_back(file, texts::kWhyMissing);
        Log = not_found + Path + entry;
        continue;
      }
      if (CheckForSize) {
        int64_t recorded = -1;
        store.ReadValueRegisterDFset(config::kSizesKey, recorded, manifest::FileNamePart(entry),
                                     config::varInt64);
        const int64_t actual = Sys->FileSizeOf(file);
        if (actual != recorded) {
          const UString text = platform::FormatText(
              LoadResString(texts::kSizeMismatch),
              {platform::IntToText(recorded), platform::IntToText(actual), Path + entry});
          left_out_.emplace_back(file, texts::kWhyMismatch);
          Shwmess = text;
          Log = text;
          continue;
        }
        // A recorded SHA-256, where the release has one, is checked as the size is.
        UString wanted;
        if (sha256 &&
            store.ReadValueRegisterDFset(config::kSha256Key, wanted, manifest::FileNamePart(entry),
                                         config::varString)) {
          UString found, why;
          if (!Sys->FileSha256(file, &found, &why)) found = why;
          wanted = platform::Trim(wanted);
          if (platform::AsciiUpperCase(found) != platform::AsciiUpperCase(wanted)) {
            const UString text = platform::FormatText(LoadResString(texts::kContentMismatch),
                                                      {wanted, found, Path + entry});
            left_out_.emplace_back(file, texts::kWhyMismatch);
            Shwmess = text;
            Log = text;
            continue;
          }
        }
      }
      FileList.push_back(entry);
      Log = added + Path + entry;
    }
  } catch (const std::exception& e) {
    FileList.clear();
    const UString message = platform::MessageOf(e);
    Shwmess = message;
    Log = LoadResString(texts::kManifestReadFailed) + message;
  }
}
