#include "platform/com_apartment.h"

#include <objbase.h>

namespace platform {

ComApartment::ComApartment() : initialized_(SUCCEEDED(CoInitialize(nullptr))) {}

ComApartment::~ComApartment() {
  if (initialized_) CoUninitialize();
}

}  // namespace platform
