// TExec: the worker. Its thread performs the update run; everything it shows
// goes through its three channels, each handed to the window thread and
// waited for:
//
//   ChBottom = text;   // the status line shows text
//   Log = text;        // a new line in the log view, then in update.log
//   Shwmess = text;    // a message box; returns once the user closed it
//
// A failure raised by the display on the window thread is raised again by the
// assignment. Created suspended and set to free itself when its thread ends.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/exception.h"
#include "platform/system_ops.h"
#include "platform/text.h"
#include "platform/thread.h"

class TFormUpdater;

using platform::UString;
using platform::UStringView;

class TExec : public platform::TThread {
 public:
  // A write-only reporting property: assigning a text performs the report.
  class Channel {
   public:
    Channel(TExec* exec, void (TExec::*report)(const UString&)) : exec_(exec), report_(report) {}
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;
    Channel& operator=(const UString& text) {
      (exec_->*report_)(text);
      return *this;
    }

   private:
    TExec* exec_;
    void (TExec::*report_)(const UString&);
  };

  // create(_FormUpdater): the thread is created suspended; FreeOnTerminate.
  explicit TExec(TFormUpdater* _FormUpdater);
  ~TExec() override;

  TFormUpdater* FormUpdater;
  // The hand-off slot: the text of the report being handed over, and after
  // it the text of the last report.
  UString Messa;
  std::vector<UString>* FileList = nullptr;
  UString Exe_Path;
  UString User_Path;

  Channel ChBottom{this, &TExec::ReportStatus};
  Channel Log{this, &TExec::ReportLog};
  Channel Shwmess{this, &TExec::ReportMessage};

  // Display operations, run on the window thread.
  void DisplayLabelBottom();
  void AddLog();
  void Showmessa();

  // Appends one line to update.log beside the executable; never fails.
  void WriteLogFile(const UString& S);
  // The path of update.log.
  UString LogFilePath();

  // The update run's stages.
  // Appends the entries of one section of the manifest in User_Path to
  // FileList, checking each file in Path and, with CheckForSize, its size.
  void LoadFilesToReplace(const UString& Path, const UString& BeginSectionKey,
                          const UString& EndSectionKey, std::vector<UString>& FileList,
                          bool CheckForSize);
  // Replaces Exe_Path + FileName by User_Path + FileName, keeping the
  // replaced file as FileName + ".old". At every moment the installed name
  // holds either the whole old or the whole new file.
  void ExchangeFile(const UString& FileName);
  // Exchanges every entry of `list` (the [LocalFiles] that the manifest
  // reader accepted) but the updater's own: all are staged first, then
  // swapped one by one. With `whole`, the release goes in whole or not at
  // all: a file the reader left out or that cannot be staged leaves the
  // installation untouched, a file that cannot be swapped puts back those
  // swapped before it; either way it throws the failure to show, naming the
  // file. The journal it writes then is removed by the run once the
  // deletions are made.
  void ExchangeRelease(const std::vector<UString>& list, bool whole);
  // Deletes the file at the full path FileName.
  void DeleteFile(const UString& FileName);
  // The restart target, relative to the installation folder.
  static UString GiveExec(const std::vector<UString>& FileList);

  // The system the worker reaches files, the clock and sleeping through.
  platform::SystemOps* Sys = &platform::SystemOps::Real();

 protected:
  void Execute() override;

 private:
  // What the last ExchangeFile did, for a release that installs whole.
  struct Exchanged {
    UString installed;
    UString backup;
    platform::Backup kept = platform::Backup::kFailed;
    bool had_installed = false;  // the installed name held a file before
    bool in_place = false;       // the new file holds the installed name
  };

  // Removes the temporary files a killed run left in `folder`, the first
  // time this run writes there.
  void SweepOnce(const UString& folder);

  // Stages the new content of every file of `list` that will be exchanged
  // beside its target, then waits once for all of it to be on disk; the
  // exchanges then take their staged file (TakeStaged). Answers the first
  // entry that could not be staged, or empty text.
  UString StageRelease(const std::vector<UString>& list);
  // The staged file for `downloaded`: the one StageRelease made (empty when
  // it could not), else one made now.
  UString TakeStaged(const UString& downloaded, const UString& installed);
  // Removes every staged file that no exchange took.
  void DropStaged();
  // Puts back the files a release that installs whole had already swapped,
  // the last first, each with a log line.
  // True when every one of them is back.
  bool PutBackRelease(const std::vector<Exchanged>& swapped);
  // Puts right what a killed run left, from the journal beside update.log;
  // throws when the journal cannot be followed (nothing is installed then).
  void RecoverInterrupted();
  // The journal's path, beside update.log.
  UString JournalPath();
  // Writes the journal of a release that installs whole, before its first
  // swap; throws when it cannot (nothing is touched then).
  void WriteJournal(const std::vector<UString>& list);

  // Runs op until it succeeds or fails for another reason than a file held
  // by another program; a held file is tried again, waiting a little longer
  // each time, for about kHeldFileMs, and never more than kHeldRunMs in one
  // run altogether.
  bool UnlessHeld(const std::function<bool()>& op);

  void ReportStatus(const UString& text);
  void ReportLog(const UString& text);
  void ReportMessage(const UString& text);

  std::set<UString> swept_folders_;
  // The release installs whole or not at all (WholeRelease in the
  // configuration).
  bool whole_release_ = false;
  // Staged files by downloaded path, in list order (a name listed twice has
  // two); an empty text where the staging failed.
  std::map<UString, std::deque<UString>> staged_;
  // The entries the manifest reader left out of [LocalFiles], with the text
  // number of the reason, and the file it shows.
  std::vector<std::pair<UString, uint32_t>> left_out_;
  Exchanged last_exchange_;
  int held_budget_ms_ = 0;
};

// Tries of a file that another program holds: about this long for one file,
// never longer than the second figure in one run, the pause between tries
// doubling from the first figure up to the last.
constexpr int kHeldFileMs = 10000;
constexpr int kHeldRunMs = 60000;
constexpr int kHeldFirstPauseMs = 100;
constexpr int kHeldLongestPauseMs = 1000;

// The status line for a failure of the run: "Erreur : " + message, cut to
// its first kStatusLineKept code units and "..." when longer than
// kStatusLineLimit.
constexpr size_t kStatusLineLimit = 60;
constexpr size_t kStatusLineKept = kStatusLineLimit - 3;
UString FailureStatus(const UString& message);

// The text for a shell launch result.
UString LaunchErrorText(int code);

// Appends the path separator to a folder path that does not end with one.
void AddTrailingBackslash(UString& path);
