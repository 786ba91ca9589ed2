// The registry hive on Windows (under Wine, in the tests' own prefix): what
// the system's own rules do to a key deletion.
#include "platform/win32/scoped_handle.h"

#include <aclapi.h>

#include <gtest/gtest.h>

#include "platform/hive.h"
#include "tests/support/scratch.h"

namespace platform {
namespace {

// Denies DELETE on the key to everyone, as a policy or another program can.
bool Protect(const wchar_t* path) {
  ScopedHkey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, key.receive()) != ERROR_SUCCESS) {
    return false;
  }
  EXPLICIT_ACCESSW deny = {};
  deny.grfAccessPermissions = DELETE;
  deny.grfAccessMode = DENY_ACCESS;
  deny.grfInheritance = NO_INHERITANCE;
  deny.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
  deny.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  deny.Trustee.ptstrName = const_cast<wchar_t*>(L"EVERYONE");
  // The denial goes in beside what the key already grants.
  PACL granted = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL acl = nullptr;
  bool ok = GetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                            &granted, nullptr, &descriptor) == ERROR_SUCCESS &&
            SetEntriesInAclW(1, &deny, granted, &acl) == ERROR_SUCCESS &&
            SetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                            acl, nullptr) == ERROR_SUCCESS;
  if (acl != nullptr) LocalFree(acl);
  if (descriptor != nullptr) LocalFree(descriptor);
  return ok;
}

// A tree whose second sub-key refuses deletion: nothing of it is deleted,
// not even the first sub-key, which the system would have let go.
TEST(RegistryHive, ATreeIsDeletedWholeOrNotAtAll) {
  testing_support::ScratchHive scratch;
  if (!scratch.Usable()) GTEST_SKIP() << "no scratch hive here";
  Hive hive;
  ASSERT_TRUE(hive.Create(u"Software\\Vorlo\\Tree\\A").has_value());
  ASSERT_TRUE(hive.Create(u"Software\\Vorlo\\Tree\\B").has_value());
  ASSERT_TRUE(Protect(L"Software\\Vorlo\\Tree\\B"));

  EXPECT_FALSE(hive.DeleteTree(u"Software\\Vorlo\\Tree"));
  EXPECT_TRUE(hive.OpenReadOnly(u"Software\\Vorlo\\Tree\\A").has_value());
  EXPECT_TRUE(hive.OpenReadOnly(u"Software\\Vorlo\\Tree\\B").has_value());
}

}  // namespace
}  // namespace platform
