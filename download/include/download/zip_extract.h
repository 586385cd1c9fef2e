// Unpacking downloaded zip archives: a handle over one archive, entry information, extraction
// of one entry, and ExtractZipToFolder for the whole archive.
//
// Entries are only ever written below the handle's root folder. GetZipItem gives each entry's
// name cut at its first NUL byte and cleaned of drives, leading separators and parent steps;
// UnzipItemToFile splits a name on both "/" and "\" and refuses names with ".." steps, absolute
// names and drive prefixes, as it refuses symbolic-link entries and folders on the way that are
// symbolic links. An entry is written to a temporary file beside its target and renamed into
// place once it is complete and its CRC is right, so a failing entry leaves no partial file (and
// an old file of that name stays as it was); a read-only file of that name fails the entry.
#pragma once

#include <cstdint>
#include <string>

#include "platform/base/wintypes.h"

namespace download {

// Result codes; the last one of any operation is kept per thread (GetLastZipResult).
enum : unsigned {
    ZR_OK = 0x00000000,
    ZR_NOFILE = 0x00000200,     // the archive cannot be opened or is no zip; an output cannot be created or replaced
    ZR_WRITE = 0x00000400,      // writing an output file failed
    ZR_CORRUPT = 0x00000700,    // an entry's header is corrupt
    ZR_READ = 0x00000800,       // reading the archive failed
    ZR_PASSWORD = 0x00001000,   // wrong or missing password
    ZR_ARGS = 0x00010000,       // bad argument: null handle, index out of range, a refused name or link entry
    ZR_NOTUNZIP = 0x00080000,   // not an extraction handle
    ZR_ZOPEN = 0x01000000,      // the reader is already open
    ZR_FLATE = 0x05000000,      // decompression failed (bad data, early end, output bound exceeded)
};

// Bound on everything one handle may write, against archives that inflate without end.
constexpr std::uint64_t kDefaultZipOutputLimit = 8ull << 30;

struct ZipEntryInfo {
    int index = 0;             // for index -1: the number of entries
    std::string name;          // as stored (ANSI), cleaned; separators unchanged
    DWORD attributes = 0;      // FILE_ATTRIBUTE_* bits
    FILETIME accessTime{};     // UTC
    FILETIME creationTime{};
    FILETIME modifyTime{};
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
};

struct ZipHandle;
using HZIP = ZipHandle*;

// Opens the archive; entries are extracted below root (an ANSI folder path, created when an
// entry needs it). password may be null. Null on failure.
HZIP OpenZipFile(const std::string& zipName, const char* password, const std::string& root);
// Index -1 gives the entry count in info->index.
unsigned GetZipItem(HZIP zip, int index, ZipEntryInfo* info);
// Extracts entry index under root as outputName (relative to root, cut at a NUL byte). A folder
// entry (also one whose name ends in a separator) creates the folder.
unsigned UnzipItemToFile(HZIP zip, int index, const std::string& outputName);
unsigned CloseZipFile(HZIP zip);
void SetZipOutputLimit(HZIP zip, std::uint64_t bytes);
unsigned GetLastZipResult();

enum class ZipOutcome {
    Extracted,     // every entry was written
    NotAnArchive,  // the file is no zip archive (nor the start of one); nothing was written
    Failed,        // an archive that could not be extracted, wholly or in part
};

// Extracts every entry into folder (created when missing). Once every entry is extracted the
// archive is deleted with deleteZip; a failed extraction keeps it. An archive whose entries
// declare more than the free space of the folder's file system is refused before anything is
// written; a failed entry leaves no file of its own, and the other entries are still extracted.
ZipOutcome ExtractZipArchive(const std::string& zipName, const char* password, const std::string& folder,
                             bool deleteZip, std::uint64_t outputLimit = kDefaultZipOutputLimit);
// The same as 1 (extracted) or 0.
int ExtractZipToFolder(const std::string& zipName, const char* password, const std::string& folder, bool deleteZip,
                       std::uint64_t outputLimit = kDefaultZipOutputLimit);

// The MS-DOS date and time as a FILETIME of the same wall-clock reading (local time).
FILETIME DosDateTimeToFileTime(WORD dosDate, WORD dosTime);

}  // namespace download
