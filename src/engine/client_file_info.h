#pragma once
#include <string>

namespace engine {

// One file or folder entry of the server manifest or the client
// configuration. Read once, never changed afterwards.
struct TClientFileInfo {
  std::string Name;       // the entry element's name: a file when it holds a ".", else a folder
  std::string SetupPath;  // "#System32", "#windows", "#BDE" or anything else (the program folder)
  std::string FileName;   // the package below "clientfile/" on the server
  bool IsReplace = false;
  std::string Script;
  bool IsRegister = false;
  std::string Version;
  std::string AutoRun;
};

}  // namespace engine
