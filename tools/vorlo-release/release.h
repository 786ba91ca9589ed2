// What vorlo-release does, apart from its command line: the release between
// two builds, the names the updater would get wrong, the download folder it
// writes, and the check of a download folder with the updater's own reader.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/text.h"

namespace release {

using platform::UString;

// A file below a release folder: its path there (system separators), size and
// content's SHA-256.
struct ReleaseFile {
  ReleaseFile() = default;
  ReleaseFile(UString p, int64_t s, UString hash = {})
      : path(std::move(p)), size(s), sha256(std::move(hash)) {}
  UString path;
  int64_t size = 0;
  UString sha256;  // 64 hexadecimal digits; empty when not recorded
};

struct Plan {
  // Whether each shipped file's SHA-256 is recorded (sizes.reg, under
  // ...\Updates\sha256), so that the updater also refuses a damaged file of
  // the right size.
  bool sha256 = true;
  // Whether the release installs whole or not at all (sizes.reg holds
  // WholeRelease, REG_DWORD 1, under ...\Updates); else file by file.
  bool whole = true;
  std::vector<ReleaseFile> added;    // in the new build only
  std::vector<ReleaseFile> changed;  // in both, with other content
  std::vector<UString> dropped;      // in the installed release only
  std::vector<UString> refusals;     // why the updater would install it wrongly, naming the files
  std::vector<UString> notes;        // worth knowing, but no reason to refuse

  // The [LocalFiles] entries in the manifest's order: Vorlo's executable
  // first (the updater restarts the first entry naming it), then by path.
  std::vector<ReleaseFile> Shipped() const;
};

// Compares the installed release with the new build (each a folder, with or
// without its separator) and checks the names: Plan::refusals is empty when
// the updater would install the release as built. The updater's own files in
// an installation (update.log, backups *.old, its temporary files) are not
// part of a release. False with a message when a folder cannot be read.
bool MakePlan(const UString& old_dir, const UString& new_dir, bool sha256, Plan* plan,
              UString* error);

// Fills plan->refusals and plan->notes from its files.
void CheckNames(Plan* plan);

// current_release.txt, in the system's 8-bit code page with CR LF line ends.
std::string ManifestBytes(const Plan& plan);

// sizes.reg: a "Windows Registry Editor Version 5.00" file of one REG_SZ
// value per shipped file name under HKCU\Software\Vorlo\Updates\files, and
// with Plan::sha256 its SHA-256 under ...\Updates\sha256 (in double quotes,
// as the configuration store writes texts), and with Plan::whole WholeRelease
// (REG_DWORD 1) under ...\Updates.
bool SizesRegBytes(const Plan& plan, std::string* out, UString* error);

// Called after each file written: files done and in all, bytes done and in all.
using Progress = std::function<void(size_t, size_t, int64_t, int64_t)>;

// Writes the download folder `out_dir` (which must be absent or empty): the
// shipped files of `new_dir` in their sub-folders, current_release.txt and
// sizes.reg. Each file is written whole or not at all.
bool WriteRelease(const Plan& plan, const UString& new_dir, const UString& out_dir,
                  const Progress& progress, UString* error);

// What the updater would do with a download folder.
struct CheckLine {
  enum Kind {
    kAdd,              // installed
    kKept,             // UPDATE.EXE: read, never replaced
    kSizeMismatch,     // left out after a message box
    kContentMismatch,  // the right size, another SHA-256: left out after a message box
    kMissing,          // "not found", left out
    kRefused,          // leads out of the folder, left out
    kDelete,           // deleted from the installation, when there
    kRestart,          // started again afterwards
  };
  CheckLine(Kind k, UString p, int64_t rec = -1, int64_t act = -1)
      : kind(k), path(std::move(p)), recorded(rec), actual(act) {}
  Kind kind;
  UString path;
  int64_t recorded = -1;  // kSizeMismatch; kAdd when sizes are known
  int64_t actual = -1;
  UString recorded_sha256, actual_sha256;  // kContentMismatch
};

struct CheckReport {
  std::vector<CheckLine> lines;
  bool sizes_known = false;  // sizes.reg was there; else sizes are not checked
  bool whole = false;        // sizes.reg asks for the release to install whole
  // No file would be left out.
  bool Ok() const;
};

bool CheckDownload(const UString& download_dir, CheckReport* report, UString* error);

}  // namespace release
