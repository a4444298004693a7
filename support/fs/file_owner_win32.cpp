#include "support/fs/file_owner.h"

#include <windows.h>
#include <aclapi.h>

#include <vector>

namespace KVEL {

namespace {

// The running user's TOKEN_USER, read once.
const std::vector<char>& tokenUser() {
  static const std::vector<char> user = [] {
    std::vector<char> buffer;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
      return buffer;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    buffer.resize(size ? size : 1);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
      buffer.clear();
    CloseHandle(token);
    return buffer;
  }();
  return user;
}

PSID runningUserSid() {
  const std::vector<char>& user = tokenUser();
  return user.empty() ? nullptr : reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
}

// The access list: full access for the running user, passed down to files
// and folders made inside.
PACL ownerOnlyList() {
  static std::vector<char> list = [] {
    std::vector<char> buffer;
    PSID sid = runningUserSid();
    if (!sid)
      return buffer;
    buffer.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid));
    PACL acl = reinterpret_cast<PACL>(buffer.data());
    if (!InitializeAcl(acl, static_cast<DWORD>(buffer.size()), ACL_REVISION) ||
        !AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                               FILE_ALL_ACCESS, sid))
      buffer.clear();
    return buffer;
  }();
  return list.empty() ? nullptr : reinterpret_cast<PACL>(list.data());
}

}  // namespace

fs::Owner ownerOf(void* handle) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(static_cast<HANDLE>(handle), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                      &owner, nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS ||
      !owner)
    return fs::Owner::unknown;
  fs::Owner result = fs::Owner::other;
  const PSID self = runningUserSid();
  if (self && EqualSid(owner, self))
    result = fs::Owner::runningUser;
  else if (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
           IsWellKnownSid(owner, WinLocalSystemSid))
    result = fs::Owner::systemOrRoot;
  LocalFree(descriptor);
  return result;
}

void* ownerOnlyAttributes() {
  static SECURITY_DESCRIPTOR descriptor;
  static SECURITY_ATTRIBUTES attributes;
  static const bool built = [] {
    PACL list = ownerOnlyList();
    if (!list || !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE) ||
        !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
      return false;
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = &descriptor;
    attributes.bInheritHandle = FALSE;
    return true;
  }();
  return built ? &attributes : nullptr;
}

bool setOwnerOnly(void* handle) {
  PACL list = ownerOnlyList();
  return list && SetSecurityInfo(static_cast<HANDLE>(handle), SE_FILE_OBJECT,
                                 DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                 nullptr, nullptr, list, nullptr) == ERROR_SUCCESS;
}

std::string runningUserName() {
  char name[257];
  DWORD size = sizeof name;
  return GetUserNameA(name, &size) && size > 0 ? std::string(name, size - 1) : std::string();
}

}  // namespace KVEL
