#pragma once
// The serial and expiry the publisher gives each manifest, so that clients
// with publisher keys refuse an older or expired one (see
// engine/manifest_freshness.h).
#include <ctime>
#include <optional>

#include "publish/manifest.h"
#include "xml/xml_document.h"

namespace publish {

// The next manifest's root attributes: "Serial" one more than `previous`'s
// (1 for the first), and "Expires" `expiresDays` days after `now` when given.
// PublishError when the previous manifest's Serial is not a serial.
AttributeList NextFreshness(const xml::XmlDocument* previous, std::time_t now, std::optional<int> expiresDays);

// Expiry warnings start this many days ahead.
inline constexpr int kExpiryWarningDays = 7;

}  // namespace publish
