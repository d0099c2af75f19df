#include "base/text.h"

#include <cctype>

namespace base {
namespace {

char UpperAsciiChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char LowerAsciiChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
int UpperByLocaleChar(char c) { return std::toupper(static_cast<unsigned char>(c)); }

template <typename IsTrimmed>
std::string_view TrimmedWhile(std::string_view text, IsTrimmed trimmed) {
  while (!text.empty() && trimmed(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && trimmed(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string UpperAscii(std::string_view text) {
  std::string r(text);
  for (char& c : r) c = UpperAsciiChar(c);
  return r;
}

std::string LowerAscii(std::string_view text) {
  std::string r(text);
  for (char& c : r) c = LowerAsciiChar(c);
  return r;
}

std::string LowerByLocale(std::string_view text) {
  std::string r(text);
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperAsciiChar(a[i]) != UpperAsciiChar(b[i])) return false;
  }
  return true;
}

bool SameTextByLocale(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperByLocaleChar(a[i]) != UpperByLocaleChar(b[i])) return false;
  }
  return true;
}

std::size_t FindTextAscii(std::string_view text, std::string_view needle) {
  return UpperAscii(text).find(UpperAscii(needle));
}

std::string_view Trimmed(std::string_view text) {
  return TrimmedWhile(text, [](unsigned char c) { return c <= ' '; });
}

std::string_view TrimmedSpacesAndTabs(std::string_view text) {
  return TrimmedWhile(text, [](unsigned char c) { return c == ' ' || c == '\t'; });
}

}  // namespace base
