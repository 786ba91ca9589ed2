// Exchanging one installed file for its downloaded copy, and deleting one.
#include "engine/contract.h"
#include "engine/exec.h"
#include "platform/resources.h"

using platform::LoadResString;

void TExec::ExchangeFile(const UString& FileName) {
  try {
    const UString backup = Exe_Path + FileName + contract::kBackupSuffix;
    const UString installed = Exe_Path + FileName;
    const UString downloaded = User_Path + FileName;

    // 1. One generation of backup: the previous one goes.
    if (Sys->FileExists(backup)) {
      Log = LoadResString(65172) + backup;
      if (Sys->DeleteFile(backup)) {
        Log = LoadResString(65161);
      } else {
        Log = LoadResString(65158) + backup + LoadResString(65159);
      }
    }

    // 2. The installed file becomes the backup.
    bool kept_as_backup = false;
    if (Sys->FileExists(installed)) {
      Log = LoadResString(65178) + installed + LoadResString(65179) + backup;
      if (Sys->RenameNoReplace(installed, backup)) {
        kept_as_backup = true;
        Log = LoadResString(65162);
      } else {
        Log = LoadResString(65157) + installed;
      }
    } else {
      Log = LoadResString(65173) + installed;
    }

    // 3. The new file, copied into place whole.
    bool installed_new = false;
    if (Sys->FileExists(downloaded) && downloaded != installed) {
      Log = LoadResString(65139) + downloaded + LoadResString(65179) + installed;
      if (Sys->CopyIntoPlace(downloaded, installed)) {
        installed_new = true;
        Log = LoadResString(65140);
      } else {
        Log = LoadResString(65141) + downloaded;
      }
    } else {
      Log = LoadResString(65173) + downloaded;
    }

    // Nothing new came: the installation gets its file back rather than
    // keeping it only under the backup name.
    if (kept_as_backup && !installed_new) {
      if (Sys->RenameNoReplace(backup, installed)) {
        Log = LoadResString(65201) + backup + LoadResString(65179) + installed;
      } else {
        Log = LoadResString(65157) + backup;
      }
    }
  } catch (const std::exception& e) {
    Log = FileName + LoadResString(65138) + platform::MessageOf(e);
  }
}

void TExec::DeleteFile(const UString& FileName) {
  try {
    if (!Sys->FileExists(FileName)) return;
    Log = LoadResString(65172) + FileName;
    if (!Sys->DeleteFile(FileName)) {
      Log = LoadResString(65158) + FileName + LoadResString(65159);
    }
  } catch (const std::exception& e) {
    Log = FileName + LoadResString(65138) + platform::MessageOf(e);
  }
}
