#include "engine/manifest_freshness.h"

#include <cstdio>
#include <stdexcept>

#include "engine/xml_routines.h"
#include "platform/registry.h"
#include "xml/xml_document.h"

namespace engine {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

bool AllDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::optional<std::uint64_t> ParseSerial(std::string_view text) {
  if (!AllDigits(text) || text.size() > 19) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) value = value * 10 + static_cast<std::uint64_t>(c - '0');
  return value;
}

int Number(std::string_view text, size_t at, size_t length) {
  int value = 0;
  for (size_t i = at; i < at + length; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

unsigned DaysInMonth(int year, unsigned month) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

std::string Attribute(const xml::XmlNode* root, const char* name) { return AttributeOr(root, name, ""); }

}  // namespace

std::optional<std::time_t> ParseUtcStamp(std::string_view text) {
  if (text.size() != 14 || !AllDigits(text)) return std::nullopt;
  const int year = Number(text, 0, 4);
  const unsigned month = static_cast<unsigned>(Number(text, 4, 2));
  const unsigned day = static_cast<unsigned>(Number(text, 6, 2));
  const int hour = Number(text, 8, 2), minute = Number(text, 10, 2), second = Number(text, 12, 2);
  if (year < 1970 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 59) {
    return std::nullopt;
  }
  const std::int64_t seconds = DaysFromCivil(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
  return static_cast<std::time_t>(seconds);
}

std::string FormatUtcStamp(std::time_t time) {
  std::int64_t days = static_cast<std::int64_t>(time) / kSecondsPerDay;
  std::int64_t rest = static_cast<std::int64_t>(time) % kSecondsPerDay;
  if (rest < 0) rest += kSecondsPerDay, --days;
  // The inverse of DaysFromCivil.
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned day = doy - (153 * mp + 2) / 5 + 1;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year = static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2);
  char text[32];
  std::snprintf(text, sizeof text, "%04lld%02u%02u%02lld%02lld%02lld", static_cast<long long>(year), month, day,
                static_cast<long long>(rest / 3600), static_cast<long long>(rest % 3600 / 60),
                static_cast<long long>(rest % 60));
  return text;
}

ManifestAge ReadManifestAge(const xml::XmlDocument& manifest) {
  const xml::XmlNode* root = manifest.SelectSingleNode("data");
  ManifestAge age;
  if (const std::string serial = Attribute(root, "Serial"); !serial.empty()) {
    age.serial = ParseSerial(serial);
    if (!age.serial) throw std::runtime_error("更新说明的 Serial 值“" + serial + "”不是十进制的序号");
  }
  if (const std::string expires = Attribute(root, "Expires"); !expires.empty()) {
    age.expires = ParseUtcStamp(expires);
    if (!age.expires) throw std::runtime_error("更新说明的 Expires 值“" + expires + "”不是 YYYYMMDDhhmmss 格式的时间");
  }
  return age;
}

std::optional<AcceptedManifest> ReadAccepted(platform::IRegistry& registry, const std::string& serverKey) {
  const auto value = registry.ReadString(platform::RegistryRoot::LocalMachine, kAcceptedManifestsKey, serverKey);
  if (!value) return std::nullopt;
  const size_t blank = value->find(' ');
  const auto serial = ParseSerial(std::string_view(*value).substr(0, blank));
  if (!serial || blank == std::string::npos) return std::nullopt;
  return AcceptedManifest{*serial, value->substr(blank + 1)};
}

void RememberAccepted(platform::IRegistry& registry, const std::string& serverKey, const AcceptedManifest& accepted) {
  const std::string value = std::to_string(accepted.serial) + " " + accepted.sha256;
  if (!registry.WriteString(platform::RegistryRoot::LocalMachine, kAcceptedManifestsKey, serverKey, value)) {
    throw std::runtime_error("无法在注册表中记录已接受的更新说明序号（" + std::string(kAcceptedManifestsKey) + "）");
  }
}

std::int64_t ClockMarginMinutes(platform::IRegistry& registry) {
  const auto value =
      registry.ReadString(platform::RegistryRoot::LocalMachine, "SOFTWARE\\ZEPRA\\AutoUpdate", kClockMarginValue);
  const auto minutes = value ? ParseSerial(*value) : std::nullopt;
  return minutes && *minutes <= 7 * 24 * 60 ? static_cast<std::int64_t>(*minutes) : kDefaultClockMarginMinutes;
}

std::string FreshnessProblem(const ManifestAge& age, const std::optional<AcceptedManifest>& last,
                             const std::string& sha256, std::time_t now, std::int64_t marginMinutes) {
  if (age.expires && static_cast<std::int64_t>(*age.expires) + marginMinutes * 60 < static_cast<std::int64_t>(now)) {
    return "更新说明已于 " + FormatUtcStamp(*age.expires) + "（UTC）过期";
  }
  if (!last) return {};
  const std::string seen = std::to_string(last->serial);
  if (!age.serial) return "这台服务器的更新说明以前带有序号（" + seen + "），这一份却没有";
  if (*age.serial < last->serial) {
    return "更新说明的序号 " + std::to_string(*age.serial) + " 低于本机已接受的 " + seen + "，是旧的更新说明";
  }
  if (*age.serial == last->serial && sha256 != last->sha256) {
    return "更新说明的序号 " + seen + " 与本机已接受的相同，内容却不同";
  }
  return {};
}

}  // namespace engine
