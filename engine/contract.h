// What the updater requires of Vorlo and of the release it installs: the
// same names on every system.
#pragma once

namespace contract {

// The main executable, in the two spellings the waits poll.
constexpr char16_t kMainExecutable[] = u"vorlo.exe";
constexpr char16_t kMainExecutableCapital[] = u"Vorlo.exe";
// The name a restart target is picked by (upper-cased comparison).
constexpr char16_t kMainExecutableUpper[] = u"VORLO.EXE";
// The updater's own entry in a release: never exchanged.
constexpr char16_t kUpdaterEntry[] = u"UPDATE.EXE";
// The release manifest, in the download folder.
constexpr char16_t kManifest[] = u"current_release.txt";
// The log, beside the updater.
constexpr char16_t kLogFile[] = u"update.log";
// Configuration: below HKEY_CURRENT_USER\Software\Vorlo.
constexpr char16_t kUpdatesKey[] = u"\\Updates";
constexpr char16_t kExecPathValue[] = u"ExecPath";
constexpr char16_t kFilesPathValue[] = u"FilesPath";
constexpr char16_t kSizesKey[] = u"\\Updates\\files";
constexpr char16_t kLangKey[] = u"\\Lang";
constexpr char16_t kLangValue[] = u"Lang_selected";
// Manifest sections.
constexpr char16_t kLocalFiles[] = u"[LocalFiles]";
constexpr char16_t kDeleteLocalFiles[] = u"[DeleteLocalFiles]";
constexpr char16_t kEndKey[] = u"[end]";
// The backup of a replaced file: its name with this appended.
constexpr char16_t kBackupSuffix[] = u".old";
// Polls of the waits, the pause before the exchange, the last status line.
constexpr int kPollMs = 2000;
constexpr int kPauseMs = 5000;
constexpr int kStartedMs = 1000;

}  // namespace contract
