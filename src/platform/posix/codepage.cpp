#include "platform/codepage.h"

#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdlib>

#include "base/text.h"
#include "platform/posix/host_path.h"

namespace platform {
namespace {

std::string LocaleCodeset() {
  // The codeset of the user's locale, as the ANSI code page of this process;
  // the C locale means UTF-8 here.
  static const std::string codeset = [] {
    const char* old = std::setlocale(LC_CTYPE, nullptr);
    std::string saved = old ? old : "C";
    const char* set = std::setlocale(LC_CTYPE, "");
    std::string cs = set ? nl_langinfo(CODESET) : "UTF-8";
    std::setlocale(LC_CTYPE, saved.c_str());
    if (cs.empty() || cs == "ANSI_X3.4-1968") cs = "UTF-8";
    return cs;
  }();
  return codeset;
}

// The iconv name of an encoding as written in documents; empty when unknown.
std::string IconvName(std::string_view encoding) {
  const std::string e = base::LowerByLocale(encoding);
  struct Alias { const char* name; const char* iconv; };
  static const Alias aliases[] = {
      {"utf-8", "UTF-8"},          {"utf8", "UTF-8"},
      {"utf-16", "UTF-16"},        {"utf-16le", "UTF-16LE"},  {"utf-16be", "UTF-16BE"},
      {"gb2312", "CP936"},         {"gbk", "CP936"},          {"cp936", "CP936"},
      {"windows-936", "CP936"},    {"gb18030", "GB18030"},    {"big5", "CP950"},
      {"cp950", "CP950"},          {"iso-8859-1", "ISO-8859-1"}, {"latin1", "ISO-8859-1"},
      {"windows-1252", "CP1252"},  {"cp1252", "CP1252"},      {"us-ascii", "ASCII"},
      {"ascii", "ASCII"},          {"shift_jis", "CP932"},    {"windows-1251", "CP1251"},
      {"iso-8859-2", "ISO-8859-2"}, {"iso-8859-15", "ISO-8859-15"}, {"euc-kr", "CP949"},
  };
  for (const Alias& a : aliases) {
    if (e == a.name) return a.iconv;
  }
  return {};
}

std::optional<std::string> Iconv(std::string_view in, const std::string& from, const std::string& to) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  out.resize(in.size() * 4 + 16);
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  size_t done = 0;
  bool ok = true;
  while (inLeft > 0) {
    char* outPtr = out.data() + done;
    size_t outLeft = out.size() - done;
    size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    done = out.size() - outLeft;
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
        continue;
      }
      ok = false;
      break;
    }
    if (r > 0 && to != "UTF-8") {
      // iconv counts irreversible conversions: a character the target lacks.
      ok = false;
      break;
    }
  }
  iconv_close(cd);
  if (!ok) return std::nullopt;
  out.resize(done);
  return out;
}

std::string Lossy(std::string_view in, const std::string& from, const std::string& to) {
  if (auto r = Iconv(in, from, to)) return *r;
  // Convert what can be converted, one character at a time, '?' for the rest.
  std::string out;
  size_t i = 0;
  while (i < in.size()) {
    size_t width = 0;
    if (from == "UTF-8") {
      // A UTF-8 character is as long as its lead byte says.
      unsigned char lead = static_cast<unsigned char>(in[i]);
      size_t len = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
      len = std::min(len, in.size() - i);
      if (auto r = Iconv(in.substr(i, len), from, to)) out += *r; else out += '?';
      i += len;
      continue;
    }
    for (size_t len = 1; len <= 4 && i + len <= in.size(); ++len) {
      if (auto r = Iconv(in.substr(i, len), from, to)) {
        out += *r;
        width = len;
        break;
      }
    }
    if (width == 0) {
      out += '?';
      width = 1;
    }
    i += width;
  }
  return out;
}

std::string Ansi() {
  const char* env = std::getenv("AUTOUPDATE_ANSI_CODESET");
  return env && *env ? std::string(env) : LocaleCodeset();
}

}  // namespace

std::string AnsiEncodingName() { return Ansi(); }

std::string AnsiToUtf8(std::string_view ansi) {
  const std::string cs = Ansi();
  if (cs == "UTF-8") return std::string(ansi);
  return Lossy(ansi, cs, "UTF-8");
}

std::string Utf8ToAnsi(std::string_view utf8) {
  const std::string cs = Ansi();
  if (cs == "UTF-8") return std::string(utf8);
  return Lossy(utf8, "UTF-8", cs);
}

// The OEM code page of a Chinese system is the same 936 as its ANSI code page.
std::string OemToUtf8(std::string_view oem) { return AnsiToUtf8(oem); }

bool IsKnownEncoding(std::string_view encoding) {
  if (!IconvName(encoding).empty()) return true;
  const std::string e = base::LowerByLocale(encoding);
  return e == base::LowerByLocale(Ansi());
}

std::optional<std::string> DecodeToUtf8(std::string_view bytes, std::string_view encoding) {
  std::string name = IconvName(encoding);
  if (name.empty()) {
    if (base::LowerByLocale(encoding) != base::LowerByLocale(Ansi())) return std::nullopt;
    name = Ansi();
  }
  if (name == "UTF-16") {
    // As on Windows: little-endian unless a byte-order mark says otherwise.
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
        static_cast<unsigned char>(bytes[1]) == 0xFF) {
      return Iconv(bytes.substr(2), "UTF-16BE", "UTF-8");
    }
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
      bytes.remove_prefix(2);
    }
    name = "UTF-16LE";
  }
  return Iconv(bytes, name, "UTF-8");
}

std::optional<std::string> EncodeFromUtf8(std::string_view utf8, std::string_view encoding) {
  std::string name = IconvName(encoding);
  if (name.empty()) {
    if (base::LowerByLocale(encoding) != base::LowerByLocale(Ansi())) return std::nullopt;
    name = Ansi();
  }
  if (name == "UTF-16") name = "UTF-16LE";  // BOM is written by the caller
  return Iconv(utf8, "UTF-8", name);
}

}  // namespace platform
