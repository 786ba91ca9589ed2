// Files by UTF-16 path.
//
// Only regular files are files here: a folder, a named pipe, a device or a
// socket (or a link to one) counts as absent for every operation, and no
// operation ever blocks on opening one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace platform {

// True when `path` names an existing regular file (a link counts when its
// target is one).
bool FileExists(UStringView path);

// The whole file. False on failure, with the system's reason in `error` when
// it is not null; `out` is not touched then.
bool ReadWholeFile(UStringView path, std::string* out, UString* error);

// Writes the whole file through a temporary file in the same folder, which
// replaces `path` only once it is complete and flushed: `path` never holds a
// partly written file, and keeps its old content when the write fails. False
// on failure, with the system's reason in `error` when it is not null.
bool WriteWholeFile(UStringView path, std::string_view bytes, UString* error);

// Deletes a file; false when the system refuses (in use, read-only).
bool DeleteFileAt(UStringView path);

// Removes the name `path` whatever the file's read-only state (a temporary
// file of ours, or a second name of a file); false when the system refuses.
bool RemoveName(UStringView path);

// Renames a file; never replaces an existing one (false then).
bool RenameNoReplace(UStringView from, UStringView to);

// Replacing an installed file without a moment at which its name is missing:
//
//   UString staged = StageCopy(downloaded, installed);    // new content, on disk
//   Backup kept = KeepAsBackup(installed, backup);         // old content, kept
//   MoveIntoPlace(staged, installed);                      // one atomic step
//
// A temporary file is named kStagedPrefix + 6 letters or digits +
// kStagedSuffix (".vorlo-Ab3xY9.tmp"): short and of fixed length, so every
// name whose backup name fits can be installed.
constexpr char16_t kStagedPrefix[] = u".vorlo-";
constexpr char16_t kStagedSuffix[] = u".tmp";
constexpr size_t kStagedRandomLength = 6;

// Copies the regular file `from` into a new temporary file in the folder of
// `to` (which it does not touch), with the source's read, write and execute
// permission bits (never set-user-ID, set-group-ID or sticky) and times, and
// flushes it to disk. Answers the temporary file's path, or an empty text
// when the copy failed; nothing is left behind then.
UString StageCopy(UStringView from, UStringView to);

// How KeepAsBackup kept the installed file.
enum class Backup {
  kFailed,   // not kept: `backup` exists already, or the system refused
  kLinked,   // `backup` is a second name of the file; `installed` is still there
  kRenamed,  // the file system has no links: `installed` was renamed to `backup`
};

// StageCopy without its own wait for the disk: the disk starts writing the
// copy, and FlushStaged later waits for a whole set of them. Staging many
// files this way and then flushing them together pays about one wait for the
// set instead of one per file:
//
//   for (...) staged.push_back(StageCopyUnflushed(downloaded, installed));
//   std::vector<size_t> failed = FlushStaged(staged);
UString StageCopyUnflushed(UStringView from, UStringView to);

// Waits until every file of `staged` (made by StageCopyUnflushed) is on
// disk. On Linux one flush of each file system the files are on (syncfs),
// which also writes what other programs left unwritten there; where that
// fails, each file on its own. Answers the indexes of the files that could
// not be flushed, in order; those files are left as they are.
std::vector<size_t> FlushStaged(const std::vector<UString>& staged);

// Gives the installed file the name `backup` as well (a hard link), where the
// file system allows it, else renames it; never replaces an existing
// `backup`.
Backup KeepAsBackup(UStringView installed, UStringView backup);

// Moves a staged file over `to` in one step, replacing a file there, and
// writes the change through. False when the system refuses; `staged` is then
// still there.
bool MoveIntoPlace(UStringView staged, UStringView to);

// Whether the file operation of this file layer that just failed on this
// thread was refused because another program holds the file open (Windows:
// a sharing violation, a lock violation or denied access). Always false on
// Linux.
bool FailedAsHeld();

// Whether `name` (a file name without folders) is a temporary file name of
// StageCopy.
bool IsStagedName(UStringView name);

// Removes the temporary files that a run killed before it could move them
// into place: the regular files in `folder` (ending with a separator, or
// empty for the working folder) whose names are staged names, unless another
// running program still writes one. Other files are never touched.
void RemoveStaleStaged(UStringView folder);

// Copies `from` over `to` through a staged file (StageCopy, then
// MoveIntoPlace): `to` never holds a partly written file.
bool CopyIntoPlace(UStringView from, UStringView to);

// What tells this file apart from every other on the machine while it
// exists, whatever names it has (the same text for two hard links of one
// file, another one for a file that replaced it under the same name): the
// device and inode on Linux, the volume and file index on Windows. The name
// itself is looked at, not what a link at it points to. Empty text when
// nothing of that name exists.
UString FileIdentity(UStringView path);

// The file's size in bytes, measured with read access while others may read
// and write it; 0 when it cannot be opened or measured.
int64_t FileSizeOf(UStringView path);

// Appends `bytes` to the file, creating it when it does not exist, and closes
// it again. The bytes go in whole or not at all: when the write fails part-way
// (a full disk), the file is cut back to its former length. While it is open,
// other programs may read the file but not write it; a file another program
// holds open for writing (on Linux: one that holds an exclusive lock on it)
// is not written. False on any failure.
bool AppendToSharedFile(UStringView path, std::string_view bytes);

// Reads a regular file from its start, a piece at a time, while others may
// read it too:
//
//   FileReader r;
//   if (!r.Open(path, &error)) ...
//   while ((n = r.Read(buf, sizeof buf, &error)) > 0) ...   // 0: the end; -1: failed
class FileReader {
 public:
  FileReader() = default;
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  bool Open(UStringView path, UString* error);
  int64_t Read(char* buffer, size_t size, UString* error);

 private:
  void Close();
  intptr_t handle_ = -1;  // the descriptor, or the Windows handle
};

}  // namespace platform
