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

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/base/wintypes.h"

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

// A key name checked and encoded once, for a text that writes it many times.
class ProfileKey {
public:
    explicit ProfileKey(std::wstring_view name);
    bool usable() const { return usable_; }

private:
    friend class ProfileText;
    std::string utf8_;
    bool usable_;
};

// The text of a whole profile file, built section by section in the layout the writes here
// keep (values trimmed, a line break inside a value written as a blank). A name the file could
// not hold (a section name with ']', a key with '=', line breaks in names) makes the text
// unusable: the add returns false and no write takes the text.
class ProfileText {
public:
    bool AddSection(std::wstring_view name);
    bool AddEntry(std::wstring_view key, std::wstring_view value);
    bool AddEntry(std::wstring_view key, long long value);  // decimal
    bool AddEntry(const ProfileKey& key, std::wstring_view value);
    bool AddEntry(const ProfileKey& key, long long value);
    // Room for this many bytes, when the caller can tell the size beforehand.
    void Reserve(size_t bytes) { text_.reserve(bytes); }
    bool usable() const { return usable_; }
    const std::string& bytes() const { return text_; }
    std::string TakeBytes() { return std::move(text_); }

private:
    bool Refuse();
    bool StartEntry(const ProfileKey& key);
    std::string text_;
    bool usable_ = true;
};

// Replaces the whole file with these sections in one atomic step (what it held before is
// gone). False, with the old file intact, when it cannot be written or a name is unusable.
bool WriteProfileFile(std::wstring_view file, const std::vector<ProfileSection>& sections);
bool WriteProfileFile(std::wstring_view file, ProfileText text);

// Writes the caller does not wait for: they are made on a thread of their own, one after the
// other in the order they were queued (from any thread), and every read or write of the same
// file through the functions here waits for those queued before it, so that nothing in the
// process sees them missing or out of order. Each is atomic like the others. A whole-file
// replacement drops the writes of that file queued before it that have not started: the file
// after it is the same.
// WritePrivateProfileString, queued (false only for arguments it would refuse at once).
bool QueueProfileString(std::wstring_view file, LPCWSTR section, LPCWSTR key, LPCWSTR value);
// WriteProfileFile, queued (false for an unusable text).
bool QueueProfileFile(std::wstring_view file, ProfileText text);
// Waits until the writes queued for the file so far are done: a local disk's time, never a
// network's. False when one of them failed since the last wait.
bool FlushProfileWrites(std::wstring_view file);

// Decimal text as GetPrivateProfileInt reads it: optional blanks and sign, then digits up to
// the first other character, saturating; an empty value gives the default.
INT ParseProfileInt(std::wstring_view v, INT defaultValue);
// Whether the text is a decimal integer as a write of a number gives it (a sign, then digits).
bool IsProfileInteger(std::wstring_view v);
// A section or key name in the form in which names match (they match without regard to case).
std::wstring FoldProfileName(std::wstring_view name);

// A value in full, without any buffer limit; false when the section or key is missing.
bool ReadProfileString(std::wstring_view file, std::wstring_view section, std::wstring_view key,
                       std::wstring& value);

struct ProfileModel;

// One section as a file holds it, for a reader that walks them all.
struct ProfileSectionRead {
    bool hasHeader = true;  // false: the lines before the first header
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> entries;  // key, value (quotes stripped), file order
    size_t strayLines = 0;  // lines that are neither blank, a comment, a header nor a key
};

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
    // Every section in file order, also those whose name another one has already; the object
    // passed is reused from one call to the next.
    void ForEachSection(const std::function<void(const ProfileSectionRead&)>& fn) const;
    // The same for the sections whose first `key` has this value (compared as it stands), in
    // file order: a search of a long file that reads little more than its bytes.
    void ForEachSectionWith(std::wstring_view key, std::wstring_view value,
                            const std::function<void(const ProfileSectionRead&)>& fn) const;
    // The bytes this reading saw.
    const std::string& Bytes() const;

private:
    std::shared_ptr<const ProfileModel> model_;
};

}  // namespace platform
