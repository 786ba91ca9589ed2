// Starting an update from Vorlo itself, once a release is downloaded:
//
//   std::string error;
//   if (vorlo_update::StageUpdate("/opt/vorlo/", "/home/me/.cache/vorlo/release-4.2/", &error)) {
//     QuitVorlo();   // the updater waits for Vorlo to end, then installs
//   } else {
//     ShowError(error);
//   }
//
// Paths are UTF-8 (on Linux, the path's bytes as the system gives them),
// with or without their ending separator.
#pragma once

#include <string>
#include <vector>

namespace vorlo_update {

// Puts right an installation that an update left half-way (the updater was
// killed, the machine stopped) while it installed a release whole: the
// files it had swapped are put back, so that the installation is again
// exactly the previous release; or, when every file was in place and only
// the deletions were left, the deletions are finished. Vorlo calls it at its
// own start; it costs one look for a file (`install_dir`/update.journal)
// when nothing was interrupted.
// True when the installation is whole (nothing to do, or put right); each
// thing done is a line in `done` when it is not null. False with the reason
// in `error` when it cannot: a journal that is damaged or names another
// installation is left alone, and a file that changed since the
// interruption stops it before it changes anything.
bool RecoverInterruptedUpdate(const std::string& install_dir, std::string* error,
                              std::vector<std::string>* done = nullptr);

// Prepares the updater's run for the current user and starts the updater:
//  - puts right an interrupted update first (RecoverInterruptedUpdate);
//  - checks that the updater (UPDATE.EXE; on Linux `update`) is in
//    `install_dir` and the manifest current_release.txt in `download_dir`;
//  - records, under HKCU\Software\Vorlo\Updates\files (replacing what an
//    earlier release recorded), the size of each file the manifest lists:
//    the download's sizes.reg says it when it is there (so that a file cut
//    short is refused), else the downloaded file is measured; and the
//    SHA-256 sizes.reg records, under ...\Updates\sha256 (so that a file
//    damaged at the right size is refused too); and whether the release
//    installs whole (WholeRelease under ...\Updates, removed when sizes.reg
//    does not ask for it);
//  - makes the folders below `install_dir` that listed files need (the
//    updater puts files in folders, it does not make them);
//  - writes ExecPath and FilesPath as the updater reads them (the folder in
//    double quotes, ending with a separator) and reads them back;
//  - starts the updater in the installation folder, detached from Vorlo.
// Vorlo should then exit: the updater waits for it. False, with the reason in
// `error`, when anything is missing or fails; nothing is started then.
bool StageUpdate(const std::string& install_dir, const std::string& download_dir,
                 std::string* error);

}  // namespace vorlo_update
