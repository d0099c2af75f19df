#include "platform/ini_file.h"

#include <fstream>
#include <sstream>
#include <vector>

#include "base/text.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/posix/host_path.h"

namespace platform {
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
    const std::string t(base::TrimmedSpacesAndTabs(lines[i]));
    if (t.size() >= 2 && t.front() == '[' && t.back() == ']' &&
        base::SameTextAscii(base::TrimmedSpacesAndTabs(t.substr(1, t.size() - 2)), sec)) {
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
      const std::string t(base::TrimmedSpacesAndTabs(lines[i]));
      if (!t.empty() && t.front() == '[') break;
      size_t eq = t.find('=');
      if (eq != std::string::npos && base::SameTextAscii(base::TrimmedSpacesAndTabs(t.substr(0, eq)), k)) {
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
