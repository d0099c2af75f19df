#include "platform/com_apartment.h"

namespace platform {

// The native build has no COM.
ComApartment::ComApartment() = default;
ComApartment::~ComApartment() = default;

}  // namespace platform
