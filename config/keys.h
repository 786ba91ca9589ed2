// The configuration the updater reads, below HKEY_CURRENT_USER\Software\Vorlo:
// the names of its keys and values, for every user of them (the run, the
// manifest reader, the language selection).
#pragma once

namespace config {

// The two folders, each a text in double quotes ending with a separator.
constexpr char16_t kUpdatesKey[] = u"\\Updates";
constexpr char16_t kExecPathValue[] = u"ExecPath";
constexpr char16_t kFilesPathValue[] = u"FilesPath";
// One recorded size per downloaded file, named after its file name.
constexpr char16_t kSizesKey[] = u"\\Updates\\files";
// Optional: the SHA-256 of a downloaded file (64 hexadecimal digits, a text
// in double quotes), named after its file name like its size.
constexpr char16_t kSha256Key[] = u"\\Updates\\sha256";
// Optional, a REG_DWORD under kUpdatesKey: 1 when the release installs whole
// or not at all, 0 or absent for file by file.
constexpr char16_t kWholeReleaseValue[] = u"WholeRelease";
// The language: "US" (in double quotes) for English.
constexpr char16_t kLangKey[] = u"\\Lang";
constexpr char16_t kLangValue[] = u"Lang_selected";

}  // namespace config
