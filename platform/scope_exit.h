// Runs a clean-up on every way out of a scope, a failure included.
//
//   const ScopeExit close_it([&] { file.Close(); });
#pragma once

#include <utility>

namespace platform {

template <typename F>
class ScopeExit {
 public:
  explicit ScopeExit(F fn) : fn_(std::move(fn)) {}
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
  // A clean-up that fails has nothing left to report to.
  ~ScopeExit() {
    try {
      fn_();
    } catch (...) {
    }
  }

 private:
  F fn_;
};

}  // namespace platform
