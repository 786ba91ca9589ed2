#include "engine/exec.h"

#include "app/main_update.h"
#include "engine/contract.h"
#include "platform/module.h"

TExec::TExec(TFormUpdater* _FormUpdater) : FormUpdater(_FormUpdater) { FreeOnTerminate = true; }

TExec::~TExec() = default;

void TExec::ReportStatus(const UString& text) {
  Messa = text;
  Synchronize([this] { DisplayLabelBottom(); });
}

void TExec::ReportLog(const UString& text) {
  Messa = text;
  Synchronize([this] { AddLog(); });
  // The view shows the line before the file has it.
  WriteLogFile(text);
}

void TExec::ReportMessage(const UString& text) {
  Messa = text;
  Synchronize([this] { Showmessa(); });
}

void TExec::DisplayLabelBottom() {
  FormUpdater->LabelBottom->SetCaption(Messa);
  FormUpdater->LabelBottom->Repaint();
}

void TExec::AddLog() {
  FormUpdater->MemoLog->AddLine(Messa);
  FormUpdater->MemoLog->ScrollToBottom();
}

void TExec::Showmessa() { FormUpdater->Application()->MessageBox(Messa); }

UString TExec::LogFilePath() {
  UString folder = platform::FolderOf(Sys->ExecutablePath());
  if (folder.empty()) return contract::kLogFile;
  AddTrailingBackslash(folder);
  return folder + contract::kLogFile;
}

void TExec::WriteLogFile(const UString& S) {
  try {
    const UString line = platform::FormatTimeStamp(Sys->Now()) + u" : " + S + u"\r\n";
    // A line the file refuses is lost; the next one tries again.
    Sys->AppendToSharedFile(LogFilePath(), platform::Utf16ToAnsi(line));
  } catch (...) {
  }
}

void AddTrailingBackslash(UString& path) {
  if (path.empty() || path.back() != platform::kPathSeparator) path += platform::kPathSeparator;
}
