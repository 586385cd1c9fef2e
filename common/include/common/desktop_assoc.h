// The desktop's side of the player's file associations: desktops here open a file with the
// application that $XDG_CONFIG_HOME/mimeapps.list names for its MIME type, and know the player
// by its desktop entry in $XDG_DATA_HOME/applications. Extensions are given without their dot;
// paths are file-system paths (UTF-8).
//
//   $XDG_DATA_HOME/applications/morvane.desktop        Exec = the player's absolute path
//   $XDG_CONFIG_HOME/mimeapps.list  [Default Applications]  <type>=morvane.desktop;
//                                   [Added Associations]    <type>=morvane.desktop;<the others>
//   $XDG_CONFIG_HOME/morvane/mimeapps-backup.list           <type>= the default it replaced
//
// Failures are written to the log and leave the files as they were.
#pragma once

#include <functional>
#include <string>
#include <vector>

inline constexpr char kDesktopEntryName[] = "morvane.desktop";

std::string DesktopEntryPath();
std::string MimeAppsListPath();
std::string DesktopDefaultsBackupPath();

// The audio and video MIME types that the shared MIME database gives the file name "*.<ext>";
// empty when it knows none.
std::vector<std::string> MediaTypesOfExtension(const std::string& ext);

// The desktop entry for the player at programPath; empty when the path cannot stand in Exec.
std::string DesktopEntryText(const std::string& programPath);
// Writes the entry when it is missing or says something else (the program moved).
bool WriteDesktopEntry(const std::string& programPath);

// Makes the player the default application for the types of ext, keeping the default each
// replaces, and writes the entry. False when nothing could be done (the reason is logged).
bool SetDesktopAssociation(const std::string& ext, const std::string& programPath);
// Gives each type of ext its previous default back (or drops the player's line), except types
// that an extension still associated (stillAssociated(other) true) also has.
bool RemoveDesktopAssociation(const std::string& ext, const std::function<bool(const std::string&)>& stillAssociated);
