#include "platform/ini_file.h"

#include <fstream>
#include <sstream>
#include <vector>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/posix/host_path.h"

namespace platform {
namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

// The same rules as the system's profile writer: section and key names match
// ignoring (ASCII) case, a new key goes at the end of its section, a new
// section at the end of the file, lines end with CR LF.
bool WriteIniString(const std::string& path, const std::string& section,
                        const std::string& key, const std::string& value) {
  const std::string sec = Utf8ToAnsi(section), k = Utf8ToAnsi(key), v = Utf8ToAnsi(value);
  std::vector<std::string> lines;
  if (auto existing = ReadWholeFile(path)) {
    std::string line;
    std::istringstream in(*existing);
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
  }
  const std::string entry = k + "=" + v;
  size_t sectionLine = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string t = Trim(lines[i]);
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']' &&
        SameNameIgnoringCase(Trim(t.substr(1, t.size() - 2)), sec)) {
      sectionLine = i;
      break;
    }
  }
  if (sectionLine == lines.size()) {
    lines.push_back("[" + sec + "]");
    lines.push_back(entry);
  } else {
    size_t insertAt = sectionLine + 1;
    bool replaced = false;
    for (size_t i = sectionLine + 1; i < lines.size(); ++i) {
      std::string t = Trim(lines[i]);
      if (!t.empty() && t.front() == '[') break;
      size_t eq = t.find('=');
      if (eq != std::string::npos && SameNameIgnoringCase(Trim(t.substr(0, eq)), k)) {
        lines[i] = entry;
        replaced = true;
        break;
      }
      if (!t.empty()) insertAt = i + 1;
    }
    if (!replaced) lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
  }
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  try {
    WriteWholeFile(path, out);
  } catch (...) {
    return false;
  }
  return true;
}

}  // namespace platform
