// The update run: the body of the worker's thread.
#include <memory>
#include <set>

#include "app/main_update.h"
#include "config/keys.h"
#include "config/r_register.h"
#include "engine/contract.h"
#include "engine/exec.h"
#include "engine/journal.h"
#include "engine/manifest.h"
#include "platform/module.h"
#include "platform/resources.h"
#include "platform/scope_exit.h"
#include "platform/shell_launch.h"
#include "resources/texts.h"

using platform::FormatText;
using platform::LoadResString;

namespace {

// Removes every ".new", compared without regard to case.
UString WithoutNew(const UString& entry) {
  UString out;
  const UString upper = platform::UpperCase(entry);
  size_t i = 0;
  while (i < entry.size()) {
    if (upper.compare(i, 4, u".NEW") == 0) {
      i += 4;
    } else {
      out.push_back(entry[i++]);
    }
  }
  return out;
}

}  // namespace

UString TExec::GiveExec(const std::vector<UString>& FileList) {
  const UString wanted = platform::UpperCase(contract::kMainExecutable);
  for (const UString& entry : FileList) {
    if (platform::UpperCase(entry).find(wanted) != UString::npos) return WithoutNew(entry);
  }
  return {};
}

UString LaunchErrorText(int code) {
  // The lookup takes the code as unsigned: every negative code is unknown.
  const auto u = static_cast<uint32_t>(code);
  texts::TextId id;
  switch (u) {
    case 0: id = texts::kLaunchOutOfResources; break;
    case 2: id = texts::kLaunchFileNotFound; break;
    case 3: id = texts::kLaunchPathNotFound; break;
    case 5: id = texts::kLaunchAccessDenied; break;
    case 8: id = texts::kLaunchOutOfMemory; break;
    case 11: id = texts::kLaunchBadFormat; break;
    case 26: id = texts::kLaunchSharingViolation; break;
    case 27: id = texts::kLaunchAssociationIncomplete; break;
    case 28: id = texts::kLaunchDdeTimeout; break;
    case 29: id = texts::kLaunchDdeFailed; break;
    case 30: id = texts::kLaunchDdeBusy; break;
    case 31: id = texts::kLaunchNoAssociation; break;
    case 32: id = texts::kLaunchDllNotFound; break;
    default: id = texts::kLaunchUnknownError; break;
  }
  return LoadResString(id);
}

UString FailureStatus(const UString& message) {
  UString shown = LoadResString(texts::kErrorPrefix) + message;
  if (shown.size() > kStatusLineLimit) shown = shown.substr(0, kStatusLineKept) + u"...";
  return shown;
}

UString TExec::JournalPath() {
  UString folder = platform::FolderOf(Sys->ExecutablePath());
  if (folder.empty()) return journal::kJournalFile;
  AddTrailingBackslash(folder);
  return folder + journal::kJournalFile;
}

void TExec::RecoverInterrupted() {
  using journal::Recovery;
  const UString path = JournalPath();
  const Recovery r = journal::Recover(path, u"");
  switch (r.outcome) {
    case Recovery::kNothing: return;
    case Recovery::kDamaged:
    case Recovery::kOther:
      throw platform::Exception(
          FormatText(LoadResString(texts::kJournalDamaged), {path, r.detail}));
    case Recovery::kChanged:
      throw platform::Exception(
          FormatText(LoadResString(texts::kJournalChanged), {r.detail, path}));
    case Recovery::kRecovered:
    case Recovery::kFailed: break;
  }
  Log = LoadResString(r.deleting ? texts::kRecoveredFinished : texts::kRecoveredPutBack) +
        r.installation;
  for (const Recovery::Step& step : r.steps) {
    switch (step.kind) {
      case Recovery::Step::kPutBack:
        Log =
            LoadResString(texts::kPutBack) + step.backup + LoadResString(texts::kInto) + step.path;
        break;
      case Recovery::Step::kRemoved:
      case Recovery::Step::kDeleted: Log = LoadResString(texts::kDeleting) + step.path; break;
      case Recovery::Step::kRefused:
        Log = step.backup.empty()
                  ? LoadResString(texts::kDeletionOf) + step.path + LoadResString(texts::kHasFailed)
                  : LoadResString(texts::kCannotRename) + step.backup;
        break;
    }
  }
  if (r.outcome == Recovery::kFailed) {
    throw platform::Exception(FormatText(LoadResString(texts::kJournalFailed), {path}));
  }
}

void TExec::WriteJournal(const std::vector<UString>& list) {
  journal::Journal j{Exe_Path, User_Path, {}, {}};
  std::set<UString> seen;
  for (const UString& entry : list) {
    const UString upper = platform::UpperCase(entry);
    if (upper == contract::kUpdaterEntry || !seen.insert(upper).second) continue;
    auto it = staged_.find(User_Path + entry);
    if (it == staged_.end() || it->second.empty() || it->second.front().empty()) continue;
    j.swaps.push_back({entry, platform::FileIdentity(Exe_Path + entry),
                       platform::FileIdentity(it->second.front())});
  }
  // The deletions as the manifest lists them, for a recovery that finds
  // every file in place.
  std::string bytes;
  if (Sys->ReadWholeFile(User_Path + contract::kManifest, &bytes, nullptr)) {
    for (const manifest::Line& line :
         manifest::ReadSection(bytes, Exe_Path, contract::kDeleteLocalFiles, contract::kEndKey)) {
      if (line.kind == manifest::Line::kEntry) j.deletions.push_back(line.text);
    }
  }
  UString why;
  if (!journal::Save(JournalPath(), j, &why)) {
    throw platform::Exception(FormatText(LoadResString(texts::kReleaseRefused),
                                         {JournalPath(), LoadResString(texts::kWhyNoJournal)}));
  }
}

void TExec::ExchangeRelease(const std::vector<UString>& list, bool whole) {
  whole_release_ = whole;
  // A release that installs whole goes in only when every one of its files
  // is there and right.
  if (whole_release_ && !left_out_.empty()) {
    throw platform::Exception(
        FormatText(LoadResString(texts::kReleaseRefused),
                   {left_out_.front().first, LoadResString(left_out_.front().second)}));
  }
  {
    const platform::ScopeExit drop_staged([&] { DropStaged(); });
    const UString not_staged = StageRelease(list);
    if (whole_release_ && !not_staged.empty()) {
      throw platform::Exception(
          FormatText(LoadResString(texts::kReleaseRefused),
                     {Exe_Path + not_staged, LoadResString(texts::kWhyNotStaged)}));
    }
    if (whole_release_) WriteJournal(list);
    std::vector<Exchanged> swapped;
    std::set<UString> seen;
    for (const UString& entry : list) {
      const UString upper = platform::UpperCase(entry);
      if (upper == contract::kUpdaterEntry) continue;
      // Exchanged twice, a name would lose the backup that holds its
      // previous release; a release that installs whole takes it once.
      if (whole_release_ && !seen.insert(upper).second) continue;
      ExchangeFile(entry);
      if (!whole_release_) continue;
      if (!last_exchange_.in_place) {
        const UString failed = last_exchange_.installed;
        // Put back whole, the release needs its journal no longer; a file
        // that could not be put back leaves it for the next try.
        if (PutBackRelease(swapped)) Sys->RemoveName(JournalPath());
        throw platform::Exception(FormatText(LoadResString(texts::kReleasePutBack),
                                             {failed, LoadResString(texts::kWhyNotSwapped)}));
      }
      swapped.push_back(last_exchange_);
    }
  }
}

void TExec::Execute() {
  // The body. Whatever way it is left, the store goes first, then closing
  // is allowed; only then is a failure shown.
  try {
    auto store = std::make_unique<config::TDatabaseRegistry>();
    struct AllowClose {
      TFormUpdater* form;
      std::unique_ptr<config::TDatabaseRegistry>* store;
      ~AllowClose() {
        store->reset();
        form->Allowclose = true;
      }
    } allow_close{FormUpdater, &store};

    // A release a killed run left half-way is put right before anything else.
    RecoverInterrupted();

    if (!store->ReadValueRegisterDFset(config::kUpdatesKey, Exe_Path, config::kExecPathValue,
                                       config::varString)) {
      throw platform::Exception(
          FormatText(LoadResString(texts::kPathNotInRegistry), {config::kExecPathValue}));
    }
    // A folder written without its final separator names that folder, not
    // the start of its siblings' names.
    if (!Exe_Path.empty() && Exe_Path.back() != u'/') AddTrailingBackslash(Exe_Path);
    Log = LoadResString(texts::kDestinationFolder) + Exe_Path + u"]";
    if (!store->ReadValueRegisterDFset(config::kUpdatesKey, User_Path, config::kFilesPathValue,
                                       config::varString)) {
      throw platform::Exception(
          FormatText(LoadResString(texts::kPathNotInRegistry), {config::kFilesPathValue}));
    }
    if (!User_Path.empty() && User_Path.back() != u'/') AddTrailingBackslash(User_Path);
    Log = LoadResString(texts::kSourceFolder) + User_Path + u"]";

    ChBottom = LoadResString(texts::kUpdateInProgress);
    ChBottom = LoadResString(texts::kWaitingForVorlo);

    for (const char16_t* name : {contract::kMainExecutable, contract::kMainExecutableCapital}) {
      const UString polled = Exe_Path + name;
      bool running;
      do {
        running = Sys->IsApplicationRunning(polled);
        Log = LoadResString(running ? texts::kRunning : texts::kNotRunning) + polled;
        Sys->Sleep(contract::kPollMs);
      } while (running && !Terminated());
      if (Terminated()) throw platform::Exception(LoadResString(texts::kStopped));
      Log = FormatText(LoadResString(texts::kApplicationEnded), {polled});
    }

    Sys->Sleep(contract::kPauseMs);
    ChBottom = u"";

    uint32_t whole = 0;
    whole_release_ =
        store->ReadDword(config::kUpdatesKey, config::kWholeReleaseValue, &whole) && whole != 0;
    held_budget_ms_ = kHeldRunMs;

    std::vector<UString> list;
    left_out_.clear();
    LoadFilesToReplace(User_Path, contract::kLocalFiles, contract::kEndKey, list, true);
    ExchangeRelease(list, whole_release_);
    Log = LoadResString(texts::kExchangesDone);

    const UString target = Exe_Path + GiveExec(list);

    list.clear();
    LoadFilesToReplace(Exe_Path, contract::kDeleteLocalFiles, contract::kEndKey, list, false);
    if (list.empty()) {
      Log = LoadResString(texts::kNothingToDelete);
    } else {
      for (const UString& entry : list) DeleteFile(Exe_Path + entry);
    }
    Log = LoadResString(texts::kDeletionsDone);
    if (whole_release_) Sys->RemoveName(JournalPath());

    Log = FormatText(LoadResString(texts::kRestarting), {target});
    if (Sys->FileExists(target)) {
      const int result =
          Sys->ShellLaunch(FormUpdater->Native()->Handle(), target, platform::FolderOf(target));
      if (result <= platform::kLaunchFailedAtMost) {
        Log = LoadResString(texts::kCannotStartLog) + target + u" (" + platform::IntToText(result) +
              u") >>" + LaunchErrorText(result);
        throw platform::Exception((result == 5 ? LoadResString(texts::kCannotStartDownloadError)
                                               : LoadResString(texts::kCannotStart)) +
                                  target);
      }
      Log = LoadResString(texts::kLogApplication) + target + LoadResString(texts::kLogWillStart);
      ChBottom = LoadResString(texts::kStatusApplication) + target +
                 LoadResString(texts::kStatusWillStart);
      Sys->Sleep(contract::kStartedMs);
      FormUpdater->Allowclose = true;
      FormUpdater->Close_this_app = true;
    } else if (!target.empty()) {
      Log = LoadResString(texts::kDoesNotExist) + target;
      FormUpdater->Allowclose = true;
      throw platform::Exception(LoadResString(texts::kDoesNotExist) + target);
    }
    Log = LoadResString(texts::kDone) + u"\r\n";
  } catch (const std::exception& e) {
    const UString shown = FailureStatus(platform::MessageOf(e));
    // A report that cannot be shown either (the window has gone) leaves
    // Execute and is kept by the thread frame.
    ChBottom = shown;
    Shwmess = platform::MessageOf(e);
  }
}
