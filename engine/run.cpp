// The update run: the body of the worker's thread.
#include <memory>

#include "app/main_update.h"
#include "config/r_register.h"
#include "engine/contract.h"
#include "engine/exec.h"
#include "platform/module.h"
#include "platform/resources.h"

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
  uint32_t id;
  switch (u) {
    case 0: id = 65186; break;
    case 2: id = 65187; break;
    case 3: id = 65188; break;
    case 5: id = 65190; break;
    case 8: id = 65197; break;
    case 11: id = 65189; break;
    case 26: id = 65198; break;
    case 27: id = 65191; break;
    case 28: id = 65194; break;
    case 29: id = 65193; break;
    case 30: id = 65192; break;
    case 31: id = 65196; break;
    case 32: id = 65195; break;
    default: id = 65199; break;
  }
  return LoadResString(id);
}

UString FailureStatus(const UString& message) {
  UString shown = LoadResString(65156) + message;
  if (shown.size() > 60) shown = shown.substr(0, 57) + u"...";
  return shown;
}

void TExec::Execute() {
  {
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

      if (!store->ReadValueRegisterDFset(contract::kUpdatesKey, Exe_Path,
                                         contract::kExecPathValue, 256)) {
        throw platform::Exception(FormatText(LoadResString(65168), {contract::kExecPathValue}));
      }
      // A folder written without its final separator names that folder, not
      // the start of its siblings' names.
      if (!Exe_Path.empty() && Exe_Path.back() != u'/') AddTrailingBackslash(Exe_Path);
      Log = LoadResString(65169) + Exe_Path + u"]";
      if (!store->ReadValueRegisterDFset(contract::kUpdatesKey, User_Path,
                                         contract::kFilesPathValue, 256)) {
        throw platform::Exception(FormatText(LoadResString(65168), {contract::kFilesPathValue}));
      }
      if (!User_Path.empty() && User_Path.back() != u'/') AddTrailingBackslash(User_Path);
      Log = LoadResString(65170) + User_Path + u"]";

      ChBottom = LoadResString(65171);
      ChBottom = LoadResString(65174);

      for (const char16_t* name : {contract::kMainExecutable, contract::kMainExecutableCapital}) {
        const UString polled = Exe_Path + name;
        bool running;
        do {
          running = Sys->IsApplicationRunning(polled);
          Log = LoadResString(running ? 65175 : 65176) + polled;
          Sys->Sleep(contract::kPollMs);
        } while (running && !Terminated());
        if (Terminated()) throw platform::Exception(LoadResString(65177));
        Log = FormatText(LoadResString(65163), {polled});
      }

      Sys->Sleep(contract::kPauseMs);
      ChBottom = u"";

      std::vector<UString> list;
      LoadFilesToReplace(User_Path, contract::kLocalFiles, contract::kEndKey, list, true);
      for (const UString& entry : list) {
        if (platform::UpperCase(entry) != contract::kUpdaterEntry) ExchangeFile(entry);
      }
      Log = LoadResString(65164);

      const UString target = Exe_Path + GiveExec(list);

      list.clear();
      LoadFilesToReplace(Exe_Path, contract::kDeleteLocalFiles, contract::kEndKey, list, false);
      if (list.empty()) {
        Log = LoadResString(65144);
      } else {
        for (const UString& entry : list) DeleteFile(Exe_Path + entry);
      }
      Log = LoadResString(65165);

      Log = FormatText(LoadResString(65166), {target});
      if (Sys->FileExists(target)) {
        const int result =
            Sys->ShellLaunch(FormUpdater->Native()->Handle(), target, platform::FolderOf(target));
        if (result <= 32) {
          Log = LoadResString(65180) + target + u" (" + platform::IntToText(result) + u") >>" +
                LaunchErrorText(result);
          throw platform::Exception((result == 5 ? LoadResString(65181) : LoadResString(65182)) +
                                    target);
        }
        Log = LoadResString(65183) + target + LoadResString(65152);
        ChBottom = LoadResString(65153) + target + LoadResString(65154);
        Sys->Sleep(contract::kStartedMs);
        FormUpdater->Allowclose = true;
        FormUpdater->Close_this_app = true;
      } else if (!target.empty()) {
        Log = LoadResString(65155) + target;
        FormUpdater->Allowclose = true;
        throw platform::Exception(LoadResString(65155) + target);
      }
      Log = LoadResString(65160) + u"\r\n";
    } catch (const std::exception& e) {
      const UString shown = FailureStatus(platform::MessageOf(e));
      // A report that cannot be shown either (the window has gone) leaves
      // Execute and is kept by the thread frame.
      ChBottom = shown;
      Shwmess = platform::MessageOf(e);
    }
  }
}
