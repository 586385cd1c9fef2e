// Private-profile (INI) files with the Windows calling conventions. Sections and keys match
// without regard to case; values are text, integers decimal. Files are UTF-8 (a byte-order
// mark is accepted). Every write replaces the file atomically (temporary file + rename)
// under a lock file, so writers in other threads and processes never lose each other's
// changes and readers never see half a file. A write changes only the line it touches; the
// rest of the file stays as it was, byte for byte. Reads always see the file's current content.
//
// GetPrivateProfileString with a null section lists the section names, with a null key the
// keys of a section (each name NUL-terminated, the list ended by a second NUL).
// WritePrivateProfileString with a null key deletes the section, with a null value the key.
// "A" forms take and give text in the ANSI code page.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/wintypes.h"

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR out, DWORD size,
                               LPCWSTR file);
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR out, DWORD size,
                               LPCSTR file);
UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR file);
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR file);
BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file);
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file);

namespace platform {

struct ProfileSection {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> entries;  // key, value in file order
};

// Replaces the whole file with these sections in one atomic step (what it held before is
// gone). False, with the old file intact, when it cannot be written or a name is unusable
// (a section name with ']', a key with '=', line breaks in names).
bool WriteProfileFile(std::wstring_view file, const std::vector<ProfileSection>& sections);

// A value in full, without any buffer limit; false when the section or key is missing.
bool ReadProfileString(std::wstring_view file, std::wstring_view section, std::wstring_view key,
                       std::wstring& value);

struct ProfileModel;

// One reading of a profile file for many keys: the file is read once, when the object is made,
// and every lookup answers from that version of it (also while another process replaces it).
// Lookups follow the profile functions: names without regard to case, quotes stripped.
class ProfileSnapshot {
public:
    explicit ProfileSnapshot(std::wstring_view file);
    ~ProfileSnapshot();

    // The value in full; false when the section or key is missing.
    bool ReadString(std::wstring_view section, std::wstring_view key, std::wstring& value) const;
    std::wstring ReadString(std::wstring_view section, std::wstring_view key, std::wstring_view defaultValue) const;
    // As GetPrivateProfileInt: the default for a missing or empty value.
    INT ReadInt(std::wstring_view section, std::wstring_view key, INT defaultValue) const;

private:
    std::shared_ptr<const ProfileModel> model_;
};

}  // namespace platform
