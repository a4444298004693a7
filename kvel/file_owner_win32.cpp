#include "kvel/file_owner.h"

#include <windows.h>
#include <aclapi.h>

#include <vector>

namespace KVEL {

namespace {

bool isRunningUser(PSID sid) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
    return false;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<char> user(size ? size : 1);
  const bool same = GetTokenInformation(token, TokenUser, user.data(), size, &size) &&
                    EqualSid(sid, reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid) != 0;
  CloseHandle(token);
  return same;
}

}  // namespace

FileOwner ownerOf(void* handle) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(static_cast<HANDLE>(handle), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                      &owner, nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS ||
      !owner)
    return FileOwner::unknown;
  FileOwner result = FileOwner::other;
  if (isRunningUser(owner))
    result = FileOwner::runningUser;
  else if (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
           IsWellKnownSid(owner, WinLocalSystemSid))
    result = FileOwner::systemOrAdministrators;
  LocalFree(descriptor);
  return result;
}

}  // namespace KVEL
