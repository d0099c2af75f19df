#include "platform/win32/security_descriptor.h"

#include <sddl.h>

#include "platform/os_error.h"
#include "platform/win32/wide.h"

namespace platform::win32 {

SecurityDescriptor::SecurityDescriptor(const wchar_t* sddl) {
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor_, nullptr)) {
    const std::string text = LastErrorText();
    throw OsError("无法建立访问权限“" + Narrow(sddl) + "”：" + text, text);
  }
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = descriptor_;
  attributes_.bInheritHandle = FALSE;
}

SecurityDescriptor::~SecurityDescriptor() { LocalFree(descriptor_); }

PSID SecurityDescriptor::owner() const {
  PSID sid = nullptr;
  BOOL defaulted = FALSE;
  return GetSecurityDescriptorOwner(descriptor_, &sid, &defaulted) ? sid : nullptr;
}

PACL SecurityDescriptor::dacl() const {
  PACL acl = nullptr;
  BOOL present = FALSE, defaulted = FALSE;
  return GetSecurityDescriptorDacl(descriptor_, &present, &acl, &defaulted) && present ? acl : nullptr;
}

}  // namespace platform::win32
