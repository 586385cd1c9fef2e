// File-system helpers of the download stack. Paths are ordinary POSIX paths in the ANSI code
// page (the file system's own bytes).
#pragma once

#include <cstdint>
#include <string>

namespace download {

// Size of the file in bytes; 0 when it cannot be opened for reading.
std::uint64_t GetFileSize64(const std::string& fileName);
// True when the status of the file or folder can be read.
bool FileExists(const std::string& path);
// True when the path names a folder (trailing slashes ignored; a symbolic link to one counts).
bool IsDirectory(const std::string& path);
// Creates the folder and its missing parents; 1 when all exist afterwards, 0 on an empty path
// or the first failure.
int MakeDirectories(const std::string& path);
// A new, empty, uniquely named file "my_XXXXXX.tmp" in the user's temporary folder. Its path
// goes to out; false (and an empty out) when none could be made.
bool GetTempDownloadPath(std::string& out);
// Moves a file over another one, replacing it, also across file systems (then the copy
// reaches the disk before the source goes). 1/0.
int MoveFileReplace(const std::string& from, const std::string& to);
// Moves the file or folder to the desktop's trash, or with `permanent` deletes it for good.
// One that cannot go to the trash stays where it is.
void RecycleOrDeleteFile(const std::string& path, bool permanent);

}  // namespace download
