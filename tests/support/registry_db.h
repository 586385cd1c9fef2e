// A registry database of one test, and direct reads through the wide registry functions, so a
// test checks what was written key by key without going through the code under test.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "support/temp_dir.h"

namespace testsupport {

// Points MORVANE_REGISTRY_DB at a fresh database in its own folder for the object's lifetime.
class TempRegistry {
public:
    TempRegistry();
    const std::string& path() const { return path_; }

private:
    TempDir dir_;
    std::string path_;
    ScopedEnv env_;
};

struct RegValue {
    DWORD type = REG_NONE;
    std::string bytes;
    // The data as wide text, the stored NUL dropped.
    std::wstring text() const;
};

std::optional<RegValue> RegRead(HKEY root, const std::wstring& key, const std::wstring& name);
bool RegKeyExists(HKEY root, const std::wstring& key);
// Names of the direct subkeys, and of the values, in enumeration order; empty when the key is missing.
std::vector<std::wstring> RegSubkeys(HKEY root, const std::wstring& key);
std::vector<std::wstring> RegValueNames(HKEY root, const std::wstring& key);
// Writes a REG_SZ value with its NUL (creating the key), for setting up starting states.
void RegWrite(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text);

}  // namespace testsupport
