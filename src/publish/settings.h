#pragma once
// The publisher's settings file: what the manifest says about each module
// beyond its version, package and hash. An XML file (UTF-8 unless its
// declaration says otherwise):
//
//   <publish mainfile="ZEPRA.exe" IsDeskTop="1">
//     <module name="grid.ocx" SetupPath="#System32" IsRegister="1"/>
//     <module name="setup.dll" AutoRun="setup.exe" Script="..."/>
//   </publish>
//
// Module attributes: SetupPath, IsReplace, IsRegister, Script, AutoRun.
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace publish {

using Attributes = std::map<std::string, std::string>;  // name -> value

struct Settings {
  Attributes group;                           // mainfile, IsDeskTop
  std::map<std::string, Attributes> modules;  // by module name
};

inline constexpr std::string_view kModuleAttributes[] = {"SetupPath", "IsReplace", "IsRegister", "Script",
                                                         "AutoRun"};
inline constexpr std::string_view kGroupAttributes[] = {"mainfile", "IsDeskTop"};

// PublishError saying what is wrong when the file cannot be read or does not
// have the form above.
Settings ReadSettings(const std::string& path);

}  // namespace publish
