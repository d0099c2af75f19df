#pragma once
// A security descriptor written in the system's descriptor language (SDDL),
// owned and freed once, with the attributes that hand it to a creating call.
#include <windows.h>

namespace platform::win32 {

class SecurityDescriptor {
 public:
  explicit SecurityDescriptor(const wchar_t* sddl);  // OsError when the text is refused
  ~SecurityDescriptor();
  SecurityDescriptor(const SecurityDescriptor&) = delete;
  SecurityDescriptor& operator=(const SecurityDescriptor&) = delete;

  PSECURITY_DESCRIPTOR get() const { return descriptor_; }
  SECURITY_ATTRIBUTES* attributes() { return &attributes_; }
  PSID owner() const;
  PACL dacl() const;

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace platform::win32
