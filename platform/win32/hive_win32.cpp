// The hive on Windows: the registry's HKEY_CURRENT_USER, keys opened with full
// access.
#include "platform/hive.h"
#include "platform/win32/scoped_handle.h"

namespace platform {
namespace {

std::wstring W(UStringView s) { return std::wstring(s.begin(), s.end()); }
UString U(const wchar_t* s, size_t n) { return UString(s, s + n); }

std::wstring SubPath(UStringView path) {
  if (!path.empty() && path[0] == u'\\') path.remove_prefix(1);
  return W(path);
}

std::vector<UString> Enumerate(HKEY key, bool values) {
  std::vector<UString> names;
  DWORD max_len = 0;
  LONG rc = values ? RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                      nullptr, &max_len, nullptr, nullptr, nullptr)
                   : RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &max_len, nullptr,
                                      nullptr, nullptr, nullptr, nullptr, nullptr);
  if (rc != ERROR_SUCCESS) return names;
  std::wstring buf(max_len + 2, L'\0');
  for (DWORD i = 0;; ++i) {
    DWORD len = static_cast<DWORD>(buf.size());
    rc = values ? RegEnumValueW(key, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr)
                : RegEnumKeyExW(key, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA) {
      buf.resize(buf.size() * 2);
      --i;
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    names.push_back(U(buf.data(), len));
  }
  return names;
}

// Whether the key and every key below it can be opened for deletion. The
// system deletes a tree one key at a time, so a key refused half-way would
// leave the tree half deleted: everything is asked first.
bool CanDeleteTree(HKEY parent, const std::wstring& name) {
  ScopedHkey key;
  if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ | DELETE, key.receive()) != ERROR_SUCCESS) {
    return false;
  }
  for (const UString& sub : Enumerate(key.get(), false)) {
    if (!CanDeleteTree(key.get(), W(sub))) return false;
  }
  return true;
}

bool DeleteRecursive(HKEY parent, const std::wstring& name) {
  {
    ScopedHkey key;
    if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_ALL_ACCESS, key.receive()) != ERROR_SUCCESS) {
      return false;
    }
    for (const UString& sub : Enumerate(key.get(), false)) {
      if (!DeleteRecursive(key.get(), W(sub))) return false;
    }
  }
  return RegDeleteKeyW(parent, name.c_str()) == ERROR_SUCCESS;
}

}  // namespace

struct RegKey::Impl {
  ScopedHkey key;
};

struct Hive::Impl {};

RegKey::RegKey(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
RegKey::RegKey(RegKey&&) noexcept = default;
RegKey& RegKey::operator=(RegKey&&) noexcept = default;
RegKey::~RegKey() = default;

bool RegKey::Read(UStringView name, RegValue* out) const {
  const std::wstring n = W(name);
  DWORD type = 0;
  DWORD size = 0;
  LONG rc = RegQueryValueExW(impl_->key.get(), n.c_str(), nullptr, &type, nullptr, &size);
  std::vector<unsigned char> data;
  // The value may grow between the two calls.
  while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
    data.resize(size);
    rc = RegQueryValueExW(impl_->key.get(), n.c_str(), nullptr, &type,
                          data.empty() ? nullptr : data.data(), &size);
    if (rc == ERROR_SUCCESS) {
      data.resize(size);
      out->type = type;
      out->data = std::move(data);
      return true;
    }
  }
  return false;
}

bool RegKey::Write(UStringView name, const RegValue& value) {
  const std::wstring n = W(name);
  return RegSetValueExW(impl_->key.get(), n.c_str(), 0, value.type,
                        value.data.empty() ? nullptr : value.data.data(),
                        static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
}

bool RegKey::DeleteValue(UStringView name) {
  const std::wstring n = W(name);
  return RegDeleteValueW(impl_->key.get(), n.c_str()) == ERROR_SUCCESS;
}

std::vector<UString> RegKey::ValueNames() const { return Enumerate(impl_->key.get(), true); }

std::vector<UString> RegKey::SubKeyNames() const { return Enumerate(impl_->key.get(), false); }

Hive::Hive() : impl_(std::make_unique<Impl>()) {}
Hive::~Hive() = default;

UString Hive::Location() { return u"HKEY_CURRENT_USER"; }

std::optional<RegKey> Hive::Open(UStringView path) {
  auto impl = std::make_unique<RegKey::Impl>();
  const std::wstring p = SubPath(path);
  if (RegOpenKeyExW(HKEY_CURRENT_USER, p.c_str(), 0, KEY_ALL_ACCESS, impl->key.receive()) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return RegKey(std::move(impl));
}

std::optional<RegKey> Hive::OpenReadOnly(UStringView path) {
  auto impl = std::make_unique<RegKey::Impl>();
  const std::wstring p = SubPath(path);
  if (RegOpenKeyExW(HKEY_CURRENT_USER, p.c_str(), 0, KEY_READ, impl->key.receive()) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return RegKey(std::move(impl));
}

std::optional<RegKey> Hive::Create(UStringView path) {
  auto impl = std::make_unique<RegKey::Impl>();
  const std::wstring p = SubPath(path);
  if (RegCreateKeyExW(HKEY_CURRENT_USER, p.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, impl->key.receive(), nullptr) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return RegKey(std::move(impl));
}

bool Hive::DeleteTree(UStringView path) {
  const std::wstring p = SubPath(path);
  if (p.empty()) return false;  // never the hive root itself
  return CanDeleteTree(HKEY_CURRENT_USER, p) && DeleteRecursive(HKEY_CURRENT_USER, p);
}

}  // namespace platform
