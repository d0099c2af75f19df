#include "platform/codepage.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "base/text.h"
#include "platform/os_error.h"
#include "platform/win32/wide.h"

namespace platform {
namespace win32 {

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
  return w;
}

std::string Narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), s.data(), n, nullptr, nullptr);
  return s;
}

std::string ErrorText(unsigned long code) {
  wchar_t* buf = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::wstring text = n && buf ? std::wstring(buf, n) : std::wstring();
  if (buf) LocalFree(buf);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
  if (text.empty()) return "System error " + std::to_string(code);
  return Narrow(text);
}

}  // namespace win32

std::string LastErrorText() { return win32::ErrorText(GetLastError()); }

namespace {

// Code page of an encoding name; 0 when unknown. 1200/1201 are UTF-16 LE/BE.
UINT CodePageOf(std::string_view encoding) {
  const std::string e = base::LowerByLocale(encoding);
  struct Alias { const char* name; UINT cp; };
  static const Alias aliases[] = {
      {"utf-8", CP_UTF8},       {"utf8", CP_UTF8},        {"utf-16", 1200},       {"utf-16le", 1200},
      {"utf-16be", 1201},       {"gb2312", 936},          {"gbk", 936},           {"cp936", 936},
      {"windows-936", 936},     {"gb18030", 54936},       {"big5", 950},          {"cp950", 950},
      {"iso-8859-1", 28591},    {"latin1", 28591},        {"windows-1252", 1252}, {"cp1252", 1252},
      {"us-ascii", 20127},      {"ascii", 20127},         {"shift_jis", 932},     {"windows-1251", 1251},
      {"iso-8859-2", 28592},    {"iso-8859-15", 28605},   {"euc-kr", 949},
  };
  for (const Alias& a : aliases) {
    if (e == a.name) return a.cp;
  }
  return 0;
}

std::optional<std::wstring> ToWide(std::string_view bytes, UINT cp, bool strict) {
  if (bytes.empty()) return std::wstring();
  if (cp == 1200 || cp == 1201) {
    if (bytes.size() % 2) return std::nullopt;
    std::wstring w(bytes.size() / 2, L'\0');
    for (size_t i = 0; i < w.size(); ++i) {
      unsigned char a = static_cast<unsigned char>(bytes[2 * i]), b = static_cast<unsigned char>(bytes[2 * i + 1]);
      w[i] = static_cast<wchar_t>(cp == 1200 ? (a | (b << 8)) : ((a << 8) | b));
    }
    return w;
  }
  DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
  int n = MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0 && flags && GetLastError() == ERROR_INVALID_FLAGS) {
    // Some converters (GB18030 under Wine) take no flags at all.
    flags = 0;
    n = MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  }
  if (n <= 0) return std::nullopt;
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), w.data(), n);
  return w;
}

std::optional<std::string> FromWide(std::wstring_view w, UINT cp, bool strict) {
  if (w.empty()) return std::string();
  if (cp == 1200 || cp == 1201) {
    std::string s(w.size() * 2, '\0');
    for (size_t i = 0; i < w.size(); ++i) {
      unsigned v = static_cast<unsigned>(w[i]);
      s[2 * i] = static_cast<char>(cp == 1200 ? v & 0xFF : v >> 8);
      s[2 * i + 1] = static_cast<char>(cp == 1200 ? v >> 8 : v & 0xFF);
    }
    return s;
  }
  const bool utf = cp == CP_UTF8 || cp == 54936;
  BOOL usedDefault = FALSE;
  DWORD flags = strict && !utf ? WC_NO_BEST_FIT_CHARS : 0;
  BOOL* used = strict && !utf ? &usedDefault : nullptr;
  int n = WideCharToMultiByte(cp, flags, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, used);
  if (n <= 0 || usedDefault) return std::nullopt;
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(cp, flags, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

}  // namespace

std::string AnsiEncodingName() { return "cp" + std::to_string(GetACP()); }

std::string AnsiToUtf8(std::string_view ansi) {
  auto w = ToWide(ansi, CP_ACP, false);
  return w ? win32::Narrow(*w) : std::string();
}

std::string Utf8ToAnsi(std::string_view utf8) {
  auto s = FromWide(win32::Widen(utf8), CP_ACP, false);
  return s ? *s : std::string();
}

std::string OemToUtf8(std::string_view oem) {
  auto w = ToWide(oem, CP_OEMCP, false);
  return w ? win32::Narrow(*w) : std::string();
}

bool IsKnownEncoding(std::string_view encoding) {
  if (CodePageOf(encoding) != 0) return true;
  return base::LowerByLocale(encoding) == AnsiEncodingName();
}

static UINT Resolve(std::string_view encoding) {
  UINT cp = CodePageOf(encoding);
  if (cp == 0 && base::LowerByLocale(encoding) == AnsiEncodingName()) cp = GetACP();
  // Without a GB18030 converter (Wine) its GBK subset still reads; the
  // four-byte sequences then count as invalid.
  if (cp == 54936 && !IsValidCodePage(cp)) cp = 936;
  return cp;
}

std::optional<std::string> DecodeToUtf8(std::string_view bytes, std::string_view encoding) {
  UINT cp = Resolve(encoding);
  if (cp == 0) return std::nullopt;
  if (cp == 1200 && bytes.size() >= 2) {
    unsigned char a = static_cast<unsigned char>(bytes[0]), b = static_cast<unsigned char>(bytes[1]);
    if (a == 0xFF && b == 0xFE) bytes.remove_prefix(2);
    else if (a == 0xFE && b == 0xFF) { bytes.remove_prefix(2); cp = 1201; }
  }
  auto w = ToWide(bytes, cp, true);
  if (!w) return std::nullopt;
  return win32::Narrow(*w);
}

std::optional<std::string> EncodeFromUtf8(std::string_view utf8, std::string_view encoding) {
  UINT cp = Resolve(encoding);
  if (cp == 0) return std::nullopt;
  return FromWide(win32::Widen(utf8), cp, true);
}

}  // namespace platform
