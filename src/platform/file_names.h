#pragma once
// What Windows accepts as the name of an ordinary file, and whether a path
// stays inside a folder. Names from outside (zip entries, package names,
// shortcut titles, server addresses) pass these tests before they become
// paths: a NUL cuts a Win32 path, a colon opens an alternate data stream, and
// a device name opens the device instead of a file.
#include <string>
#include <string_view>

namespace platform {

// CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9 (also with superscript digits),
// CONIN$ and CONOUT$, whatever the letter case, extension or trailing dots
// and blanks: "nul", "Com1.txt" and "aux .dll" all name devices.
bool IsDeviceName(std::string_view name);

// One path component that names an ordinary file or folder: not empty, no
// control character, none of < > : " / \ | ? *, not made of dots and blanks
// only, not a device name.
bool IsPlainName(std::string_view name);

// A relative path of plain names that ends in a file name: empty components
// and "." (which Windows folds away) are allowed inside it, a leading
// separator is not.
bool IsPlainRelativePath(std::string_view path);

// A full path: a drive letter, a colon and a separator, or a UNC path
// (\\server\share). Anything else is looked up from the current folder.
bool IsFullPath(std::string_view path);

// True when `path` lies inside `folder` (strictly below it) once "." and ".."
// components are resolved; both are Windows paths, compared ignoring ASCII
// letter case, with \ and / both separators.
bool IsInsideFolder(std::string_view folder, std::string_view path);

}  // namespace platform
