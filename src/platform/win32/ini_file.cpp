#include "platform/ini_file.h"

#include <windows.h>

#include "platform/codepage.h"

namespace platform {

// The system's profile writer, in its ANSI form: keys and values are stored as
// bytes of the ANSI code page.
bool WriteIniString(const std::string& path, const std::string& section,
                        const std::string& key, const std::string& value) {
  return WritePrivateProfileStringA(Utf8ToAnsi(section).c_str(), Utf8ToAnsi(key).c_str(),
                                    Utf8ToAnsi(value).c_str(), Utf8ToAnsi(path).c_str()) != 0;
}

}  // namespace platform
