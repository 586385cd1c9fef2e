// The registry's operations on whole names and byte strings; the W and A entry points are thin
// conversions over these. String data is kept as wchar_t text (with its NUL when the writer sent it).
#pragma once

#include <string>

#include "platform/registry/registry.h"

namespace platform::registry::detail {

std::string DefaultDatabasePath();
LSTATUS CreateKey(HKEY hKey, const std::wstring& subKey, REGSAM sam, PHKEY result, LPDWORD disposition);
LSTATUS OpenKey(HKEY hKey, const std::wstring& subKey, REGSAM sam, PHKEY result);
LSTATUS CloseKey(HKEY hKey);
LSTATUS GetValue(HKEY hKey, const std::wstring& name, DWORD* type, std::string* data);
LSTATUS SetValue(HKEY hKey, const std::wstring& name, DWORD type, const std::string& data);
LSTATUS DeleteValue(HKEY hKey, const std::wstring& name);
// tree: RegDeleteTree semantics; else RegDeleteKey (fails on a key with subkeys).
LSTATUS DeleteKey(HKEY hKey, const std::wstring& subKey, bool tree);
LSTATUS EnumKey(HKEY hKey, DWORD index, std::wstring* name);
LSTATUS EnumValue(HKEY hKey, DWORD index, std::wstring* name, DWORD* type, std::string* data);
// Copies bytes into a caller's buffer with the query conventions (size only when data is null,
// ERROR_MORE_DATA and the needed size when it is too small).
LSTATUS CopyOut(const std::string& bytes, LPBYTE data, LPDWORD cbData);

inline bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

}  // namespace platform::registry::detail
