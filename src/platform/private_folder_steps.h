#pragma once
// The steps of private_folder.h that each backend takes its own way; the
// walks over the levels and the attempts at a fresh name are shared
// (private_folder.cpp).
#include <string>

namespace platform::private_folder {

// Makes the one folder at `path` private: a trusted folder keeps its
// contents and gets the protected access again; anything else there is set
// aside and a protected folder made in its place. OsError when it cannot.
void MakeLevelPrivate(const std::string& path);

// Creates the folder with the protected access from the start. True when
// created, false when the name was taken; OsError for any other failure.
bool CreateProtected(const std::string& path);

// Random text for the name of a fresh folder.
std::string UniqueSuffix();

// OsError for a folder that could not be made because its name stayed taken.
[[noreturn]] void FailNameTaken(const std::string& path);

// The path without trailing backslashes; a drive's root keeps its own.
std::string WithoutTrailingBackslash(std::string path);

}  // namespace platform::private_folder
