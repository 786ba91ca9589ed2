// Owners of Win32 handles, one type per kind, each closing what it owns in
// its destructor. Closing keeps the thread's last error, so that a clean-up
// on the way out of a failed call leaves GetLastError() telling about the
// call, not about the close.
//
//   ScopedHandle file(CreateFileW(...));
//   if (!file.valid()) return GetLastError();   // the open's error
//
//   ScopedHkey key;
//   RegOpenKeyExW(root, path, 0, KEY_READ, key.receive());
//
// For Win32 sources only: this header brings windows.h with it.
#pragma once

#include <windows.h>

#include <utility>

namespace platform {

template <typename Traits>
class ScopedWin32 {
 public:
  using Handle = typename Traits::Handle;

  ScopedWin32() = default;
  explicit ScopedWin32(Handle h) : h_(h) {}
  ScopedWin32(ScopedWin32&& other) noexcept : h_(other.release()) {}
  ScopedWin32& operator=(ScopedWin32&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ScopedWin32(const ScopedWin32&) = delete;
  ScopedWin32& operator=(const ScopedWin32&) = delete;
  ~ScopedWin32() { reset(); }

  Handle get() const { return h_; }
  bool valid() const { return Traits::Valid(h_); }
  // For a call that hands the handle out through a pointer; what was owned
  // before is closed first.
  Handle* receive() {
    reset();
    return &h_;
  }
  Handle release() { return std::exchange(h_, Traits::Null()); }
  // Closes what it owns, keeping the last error, and takes `h`.
  void reset(Handle h = Traits::Null()) {
    if (valid()) {
      const DWORD error = GetLastError();
      Traits::Close(h_);
      SetLastError(error);
    }
    h_ = h;
  }
  // Closes now; false, with the close's own error, when the close fails.
  bool Close() {
    if (!valid()) return true;
    const DWORD error = GetLastError();
    if (!Traits::Close(release())) return false;
    SetLastError(error);
    return true;
  }

 private:
  Handle h_ = Traits::Null();
};

// A kernel object (file, process, mapping): null or INVALID_HANDLE_VALUE when
// there is none.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Null() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static bool Close(Handle h) { return CloseHandle(h) != 0; }
};

// A search of FindFirstFileW.
struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Null() { return INVALID_HANDLE_VALUE; }
  static bool Valid(Handle h) { return h != INVALID_HANDLE_VALUE; }
  static bool Close(Handle h) { return FindClose(h) != 0; }
};

struct RegistryKeyTraits {
  using Handle = HKEY;
  static Handle Null() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return RegCloseKey(h) == ERROR_SUCCESS; }
};

// A module loaded with LoadLibraryExW.
struct ModuleTraits {
  using Handle = HMODULE;
  static Handle Null() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return FreeLibrary(h) != 0; }
};

// A GDI object (font, brush).
struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static Handle Null() { return nullptr; }
  static bool Valid(Handle h) { return h != nullptr; }
  static bool Close(Handle h) { return DeleteObject(h) != 0; }
};

using ScopedHandle = ScopedWin32<KernelHandleTraits>;
using ScopedFindHandle = ScopedWin32<FindHandleTraits>;
using ScopedHkey = ScopedWin32<RegistryKeyTraits>;
using ScopedModule = ScopedWin32<ModuleTraits>;
using ScopedGdiObject = ScopedWin32<GdiObjectTraits>;

}  // namespace platform
