// The wide registry entry points.
#include <cstring>

#include "registry_internal.h"

namespace reg = platform::registry::detail;

namespace {

std::wstring Str(LPCWSTR s) { return s ? std::wstring(s) : std::wstring(); }

// Copies a name into a character buffer: on entry *cch is its size with the NUL, on success the length.
LSTATUS CopyName(const std::wstring& name, LPWSTR buf, LPDWORD cch) {
    if (!buf || !cch) return ERROR_INVALID_PARAMETER;
    if (name.size() + 1 > *cch) return ERROR_MORE_DATA;
    std::wmemcpy(buf, name.c_str(), name.size() + 1);
    *cch = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

}  // namespace

LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM samDesired, void*,
                        PHKEY phkResult, LPDWORD lpdwDisposition) {
    return reg::CreateKey(hKey, Str(lpSubKey), samDesired, phkResult, lpdwDisposition);
}

LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
    return reg::OpenKey(hKey, Str(lpSubKey), samDesired, phkResult);
}

LSTATUS RegCloseKey(HKEY hKey) { return reg::CloseKey(hKey); }

LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData) {
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    DWORD type = REG_NONE;
    std::string data;
    if (LSTATUS e = reg::GetValue(hKey, Str(lpValueName), &type, &data); e != ERROR_SUCCESS) return e;
    if (lpType) *lpType = type;
    return reg::CopyOut(data, lpData, lpcbData);
}

LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
    if (!lpData && cbData) return ERROR_INVALID_PARAMETER;
    std::string data(reinterpret_cast<const char*>(lpData ? lpData : reinterpret_cast<const BYTE*>("")), cbData);
    return reg::SetValue(hKey, Str(lpValueName), dwType, data);
}

LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) { return reg::DeleteValue(hKey, Str(lpValueName)); }

LSTATUS RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) { return reg::DeleteKey(hKey, Str(lpSubKey), false); }

LSTATUS RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) { return reg::DeleteKey(hKey, Str(lpSubKey), true); }

LSTATUS RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD, LPWSTR lpClass,
                      LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    std::wstring name;
    if (LSTATUS e = reg::EnumKey(hKey, dwIndex, &name); e != ERROR_SUCCESS) return e;
    if (LSTATUS e = CopyName(name, lpName, lpcchName); e != ERROR_SUCCESS) return e;
    // Keys have no class and no stored write time.
    if (lpClass && lpcchClass && *lpcchClass) lpClass[0] = L'\0';
    if (lpcchClass) *lpcchClass = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LSTATUS RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD,
                      LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    std::wstring name;
    DWORD type = REG_NONE;
    std::string data;
    if (LSTATUS e = reg::EnumValue(hKey, dwIndex, &name, &type, &data); e != ERROR_SUCCESS) return e;
    if (LSTATUS e = CopyName(name, lpValueName, lpcchValueName); e != ERROR_SUCCESS) return e;
    if (lpType) *lpType = type;
    return reg::CopyOut(data, lpData, lpcbData);
}
