// Exchanging one installed file for its downloaded copy, and deleting one.
//
// The exchange never leaves the installed name without a whole file, even
// when the updater is killed or the machine stops half-way: the new content
// is first written beside it under a temporary name and flushed to disk, the
// backup is made as a second name of the installed file, and the temporary
// file then replaces the installed name in one step. (Where the file system
// has no links the backup is a rename, which leaves a moment without the
// name.) The log lines are those of the plain three phases, each written
// once the step it names has happened.
#include "engine/contract.h"
#include "engine/exec.h"
#include "platform/module.h"
#include "platform/resources.h"
#include "platform/scope_exit.h"
#include "resources/texts.h"

using platform::Backup;
using platform::LoadResString;

void TExec::SweepOnce(const UString& folder) {
  if (!swept_folders_.insert(folder).second) return;
  Sys->RemoveStaleStaged(folder);
}

void TExec::ExchangeFile(const UString& FileName) {
  const UString backup = Exe_Path + FileName + contract::kBackupSuffix;
  const UString installed = Exe_Path + FileName;
  const UString downloaded = User_Path + FileName;
  // What is left to undo when the exchange ends early (a report that
  // fails): a staged file goes, an installed file renamed to its backup
  // name comes back.
  UString staged;
  Backup kept = Backup::kFailed;
  bool settled = false;  // the installed name holds the new file, or its own again
  const platform::ScopeExit clean_up([&] {
    if (!staged.empty()) Sys->RemoveName(staged);
    if (kept == Backup::kRenamed && !settled) Sys->RenameNoReplace(backup, installed);
  });

  try {
    SweepOnce(platform::FolderOf(installed));

    // 1. One generation of backup: the previous one goes.
    if (Sys->FileExists(backup)) {
      Log = LoadResString(texts::kDeleting) + backup;
      if (Sys->DeleteFile(backup)) {
        Log = LoadResString(texts::kDeleted);
      } else {
        Log = LoadResString(texts::kDeletionOf) + backup + LoadResString(texts::kHasFailed);
      }
    }

    // The new content, whole and on disk, before the installed file is
    // touched.
    const bool have_new = Sys->FileExists(downloaded) && downloaded != installed;
    if (have_new) staged = Sys->StageCopy(downloaded, installed);

    // 2. The installed file is kept as the backup.
    if (Sys->FileExists(installed)) {
      Log = LoadResString(texts::kRenaming) + installed + LoadResString(texts::kInto) + backup;
      kept = Sys->KeepAsBackup(installed, backup);
      if (kept != Backup::kFailed) {
        Log = LoadResString(texts::kRenamed);
      } else {
        Log = LoadResString(texts::kCannotRename) + installed;
      }
    } else {
      Log = LoadResString(texts::kDoesNotExistNonFatal) + installed;
    }

    // 3. The new file takes the installed name in one step.
    if (have_new) {
      Log = LoadResString(texts::kCopying) + downloaded + LoadResString(texts::kInto) + installed;
      if (!staged.empty() && Sys->MoveIntoPlace(staged, installed)) {
        staged.clear();
        settled = true;
        Log = LoadResString(texts::kCopied);
      } else {
        Log = LoadResString(texts::kCannotCopy) + downloaded;
      }
    } else {
      Log = LoadResString(texts::kDoesNotExistNonFatal) + downloaded;
    }

    // Nothing new came: the installation keeps its file under its own name
    // and no second name of it is left behind.
    if (kept != Backup::kFailed && !settled) {
      const bool put_back = kept == Backup::kLinked ? Sys->RemoveName(backup)
                                                    : Sys->RenameNoReplace(backup, installed);
      settled = put_back;
      if (put_back) {
        Log = LoadResString(texts::kPutBack) + backup + LoadResString(texts::kInto) + installed;
      } else {
        Log = LoadResString(texts::kCannotRename) + backup;
      }
    }
  } catch (const std::exception& e) {
    Log = FileName + LoadResString(texts::kGeneralProblem) + platform::MessageOf(e);
  }
}

void TExec::DeleteFile(const UString& FileName) {
  try {
    if (!Sys->FileExists(FileName)) return;
    Log = LoadResString(texts::kDeleting) + FileName;
    if (!Sys->DeleteFile(FileName)) {
      Log = LoadResString(texts::kDeletionOf) + FileName + LoadResString(texts::kHasFailed);
    }
  } catch (const std::exception& e) {
    Log = FileName + LoadResString(texts::kGeneralProblem) + platform::MessageOf(e);
  }
}
