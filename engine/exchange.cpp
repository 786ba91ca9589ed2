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
//
// The run stages every file of a release before it touches the first
// installed one (StageRelease), so that a full disk or a refused write shows
// before anything changed, and the disk's waits are paid once for the whole
// set. A release that installs whole puts back what it had swapped when one
// file cannot go in.
#include <algorithm>

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

bool TExec::UnlessHeld(const std::function<bool()>& op) {
  int waited = 0;
  int pause = kHeldFirstPauseMs;
  for (;;) {
    if (op()) return true;
    if (!Sys->FailedAsHeld() || waited >= kHeldFileMs || held_budget_ms_ <= 0) return false;
    const int step = std::min({pause, kHeldFileMs - waited, held_budget_ms_});
    Sys->Sleep(step);
    waited += step;
    held_budget_ms_ -= step;
    pause = std::min(pause * 2, kHeldLongestPauseMs);
  }
}

UString TExec::StageRelease(const std::vector<UString>& list) {
  UString failed;
  std::vector<std::pair<UString, UString*>> made;  // entry, staged file
  for (const UString& entry : list) {
    if (platform::UpperCase(entry) == contract::kUpdaterEntry) continue;
    const UString installed = Exe_Path + entry;
    const UString downloaded = User_Path + entry;
    if (!Sys->FileExists(downloaded) || downloaded == installed) continue;
    SweepOnce(platform::FolderOf(installed));
    std::deque<UString>& q = staged_[downloaded];
    q.push_back(Sys->StageCopyUnflushed(downloaded, installed));
    if (q.back().empty()) {
      if (failed.empty()) failed = entry;
      // A release that installs whole stops at its first file that cannot
      // go in; file by file, each file is tried.
      if (whole_release_) return failed;
    } else {
      made.emplace_back(entry, &q.back());
    }
  }
  // The disk has been writing each copy since it was made: one wait for all.
  std::vector<UString> paths;
  for (const auto& m : made) paths.push_back(*m.second);
  for (size_t i : Sys->FlushStaged(paths)) {
    Sys->RemoveName(*made[i].second);
    made[i].second->clear();
    if (failed.empty()) failed = made[i].first;
  }
  return failed;
}

UString TExec::TakeStaged(const UString& downloaded, const UString& installed) {
  auto it = staged_.find(downloaded);
  if (it == staged_.end() || it->second.empty()) return Sys->StageCopy(downloaded, installed);
  UString staged = std::move(it->second.front());
  it->second.pop_front();
  return staged;
}

void TExec::DropStaged() {
  for (auto& [downloaded, q] : staged_) {
    for (const UString& staged : q) {
      if (!staged.empty()) Sys->RemoveName(staged);
    }
  }
  staged_.clear();
}

bool TExec::PutBackRelease(const std::vector<Exchanged>& swapped) {
  bool all = true;
  for (auto e = swapped.rbegin(); e != swapped.rend(); ++e) {
    if (!e->had_installed) {
      // A file new with this release: it goes again.
      Log = LoadResString(texts::kDeleting) + e->installed;
      if (!UnlessHeld([&] { return Sys->RemoveName(e->installed); })) {
        Log = LoadResString(texts::kDeletionOf) + e->installed + LoadResString(texts::kHasFailed);
        all = false;
      }
      continue;
    }
    // The old file, under its backup name, takes its own name back in one
    // step: at every moment the name holds a whole file.
    if (UnlessHeld([&] { return Sys->MoveIntoPlace(e->backup, e->installed); })) {
      Log = LoadResString(texts::kPutBack) + e->backup + LoadResString(texts::kInto) + e->installed;
    } else {
      Log = LoadResString(texts::kCannotRename) + e->backup;
      all = false;
    }
  }
  return all;
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

  last_exchange_ = Exchanged{installed, backup};
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
    if (have_new) staged = TakeStaged(downloaded, installed);

    // 2. The installed file is kept as the backup.
    const bool had_installed = Sys->FileExists(installed);
    last_exchange_.had_installed = had_installed;
    if (had_installed) {
      Log = LoadResString(texts::kRenaming) + installed + LoadResString(texts::kInto) + backup;
      UnlessHeld([&] {
        kept = Sys->KeepAsBackup(installed, backup);
        return kept != Backup::kFailed;
      });
      last_exchange_.kept = kept;
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
      // A release that installs whole replaces no file it could not keep:
      // it could not put it back.
      const bool may_replace = !(whole_release_ && had_installed && kept == Backup::kFailed);
      if (!staged.empty() && may_replace &&
          UnlessHeld([&] { return Sys->MoveIntoPlace(staged, installed); })) {
        staged.clear();
        settled = true;
        last_exchange_.in_place = true;
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
      const bool put_back = UnlessHeld([&] {
        return kept == Backup::kLinked ? Sys->RemoveName(backup)
                                       : Sys->RenameNoReplace(backup, installed);
      });
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
