// A program a test starts and ends.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace testing_support {

class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& args);
  // Kills the program if it still runs, and waits for it.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const;
  // Ends it at once (SIGKILL; TerminateProcess) and waits for it.
  void Kill();
  // Waits until it has ended by itself; answers its exit status (-1 when it
  // was killed by a signal or never started).
  int Wait();
  // Waits until it has ended, but leaves it uncollected (Linux: a zombie;
  // Windows: its handle stays open), as a parent that has not looked yet.
  void WaitUntilEndedUncollected();

  struct Impl;

 private:
  long long pid_ = -1;
  std::unique_ptr<Impl> impl_;  // Windows: the process's handle
};

// Copies a file (tests use it to run vorlo-sim under another name).
void CopyProgram(const std::string& from, const std::string& to);
// The folder of the running test program, with a trailing separator.
std::string ProgramFolder();

}  // namespace testing_support
