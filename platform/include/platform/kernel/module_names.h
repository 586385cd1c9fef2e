// The program's modules keep their original file names in the code ("WZUpdate.dll",
// "MorvaneUAC.exe", ...); this is the one place that maps them to the files on this system.
#pragma once

#include <string>

namespace platform {

// Maps a module file name (no folder, any case) to the name of our file; other names pass through.
std::string MapModuleName(const std::string& name);
std::wstring MapModuleName(const std::wstring& name);

// Replaces the file-name part of a path by its mapped name: "/opt/m/WZUpdate.dll" -> "/opt/m/WZUpdate.so".
std::string MapModulePath(const std::string& path);
std::wstring MapModulePath(const std::wstring& path);

}  // namespace platform
