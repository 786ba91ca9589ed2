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

#include <set>
#include <string>
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
  // Deletes the file at the full path FileName.
  void DeleteFile(const UString& FileName);
  // The restart target, relative to the installation folder.
  static UString GiveExec(const std::vector<UString>& FileList);

  // The system the worker reaches files, the clock and sleeping through.
  platform::SystemOps* Sys = &platform::SystemOps::Real();

 protected:
  void Execute() override;

 private:
  // Removes the temporary files a killed run left in `folder`, the first
  // time this run writes there.
  void SweepOnce(const UString& folder);

  void ReportStatus(const UString& text);
  void ReportLog(const UString& text);
  void ReportMessage(const UString& text);

  std::set<UString> swept_folders_;
};

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
