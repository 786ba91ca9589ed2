// What the updater requires of Vorlo and of the release it installs: the
// same names on every system.
#pragma once

namespace contract {

// The main executable, in the two spellings the waits poll.
constexpr char16_t kMainExecutable[] = u"vorlo.exe";
constexpr char16_t kMainExecutableCapital[] = u"Vorlo.exe";
// The updater's own entry in a release: never exchanged.
constexpr char16_t kUpdaterEntry[] = u"UPDATE.EXE";
// The release manifest, in the download folder.
constexpr char16_t kManifest[] = u"current_release.txt";
// The log, beside the updater.
constexpr char16_t kLogFile[] = u"update.log";
// The configuration's key and value names: config/keys.h.
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
