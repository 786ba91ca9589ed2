// The running-application object on Windows: a named file mapping of 8 bytes
// on the paging file, in this session's local namespace.
#include <string>

#include "platform/exception.h"
#include "platform/process_list.h"
#include "platform/running_object.h"
#include "platform/system_error.h"
#include "platform/win32/scoped_handle.h"

namespace platform {
namespace {

std::wstring W(UStringView s) { return std::wstring(s.begin(), s.end()); }

HANDLE CreateMapping(UStringView path) {
  return CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8,
                            W(RunningObjectName(path)).c_str());
}

}  // namespace

bool IsApplicationRunning(UStringView path) {
  ScopedHandle mapping(CreateMapping(path));
  if (!mapping.valid()) throw Exception(SystemErrorMessage(static_cast<int>(GetLastError())));
  if (GetLastError() == ERROR_ALREADY_EXISTS) return true;
  return ProcessExists(u"vorlo.exe");
}

struct RunningMarker::Impl {
  ScopedHandle mapping;
};

RunningMarker::RunningMarker(UStringView path) : impl_(std::make_unique<Impl>()) {
  impl_->mapping.reset(CreateMapping(path));
}

RunningMarker::~RunningMarker() = default;

bool RunningMarker::Held() const { return impl_->mapping.valid(); }

}  // namespace platform
