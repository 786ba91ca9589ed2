// A program a test starts and ends.
#pragma once

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

 private:
  long long pid_ = -1;
  void* handle_ = nullptr;
};

// Copies a file (tests use it to run vorlo-sim under another name).
void CopyProgram(const std::string& from, const std::string& to);
// The folder of the running test program, with a trailing separator.
std::string ProgramFolder();

}  // namespace testing_support
