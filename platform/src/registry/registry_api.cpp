// The W and A registry entry points. Both are one template over the character type: the A forms
// take names and string data in the ANSI code page; everything is stored as wide text.
#include <cstring>
#include <string>
#include <type_traits>

#include "platform/text/codepage.h"
#include "registry_internal.h"

namespace reg = platform::registry::detail;

namespace {

std::wstring In(LPCWSTR s) { return s ? std::wstring(s) : std::wstring(); }
std::wstring In(LPCSTR s) { return s ? platform::WideFromAnsi(s) : std::wstring(); }

std::wstring Out(const std::wstring& w, wchar_t) { return w; }
std::string Out(const std::wstring& w, char) { return platform::AnsiFromWide(w); }

std::wstring WideOf(const std::string& bytes) {
    std::wstring w(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(w.data(), bytes.data(), w.size() * sizeof(wchar_t));
    return w;
}

// Value data as the caller of the C form sees it: ANSI bytes for string types of the A form.
template <class C>
std::string DataOut(DWORD type, const std::string& stored) {
    if constexpr (std::is_same_v<C, char>) {
        if (reg::IsStringType(type)) return platform::AnsiFromWide(WideOf(stored));
    }
    return stored;
}

template <class C>
std::string DataIn(DWORD type, const BYTE* data, DWORD size) {
    std::string bytes(data ? reinterpret_cast<const char*>(data) : "", data ? size : 0);
    if constexpr (std::is_same_v<C, char>) {
        if (reg::IsStringType(type)) {
            std::wstring w = platform::WideFromAnsi(bytes);
            return std::string(reinterpret_cast<const char*>(w.data()), w.size() * sizeof(wchar_t));
        }
    }
    return bytes;
}

// Copies a name into a character buffer: on entry *cch is its size with the NUL, on success the length.
template <class C>
LSTATUS CopyName(const std::wstring& wname, C* buf, DWORD* cch) {
    if (!buf || !cch) return ERROR_INVALID_PARAMETER;
    auto name = Out(wname, C());
    if (name.size() + 1 > *cch) return ERROR_MORE_DATA;
    std::memcpy(buf, name.c_str(), (name.size() + 1) * sizeof(C));
    *cch = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

template <class C>
LSTATUS QueryValue(HKEY hKey, const C* name, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    DWORD type = REG_NONE;
    std::string data;
    if (LSTATUS e = reg::GetValue(hKey, In(name), &type, &data); e != ERROR_SUCCESS) return e;
    if (lpType) *lpType = type;
    return reg::CopyOut(DataOut<C>(type, data), lpData, lpcbData);
}

template <class C>
LSTATUS SetValue(HKEY hKey, const C* name, DWORD type, const BYTE* data, DWORD size) {
    if (!data && size) return ERROR_INVALID_PARAMETER;
    return reg::SetValue(hKey, In(name), type, DataIn<C>(type, data, size));
}

template <class C>
LSTATUS EnumKey(HKEY hKey, DWORD index, C* lpName, LPDWORD lpcchName, C* lpClass, LPDWORD lpcchClass,
                PFILETIME lpftLastWriteTime) {
    std::wstring name;
    if (LSTATUS e = reg::EnumKey(hKey, index, &name); e != ERROR_SUCCESS) return e;
    if (LSTATUS e = CopyName(name, lpName, lpcchName); e != ERROR_SUCCESS) return e;
    // Keys have no class and no stored write time.
    if (lpClass && lpcchClass && *lpcchClass) lpClass[0] = C();
    if (lpcchClass) *lpcchClass = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

template <class C>
LSTATUS EnumValue(HKEY hKey, DWORD index, C* lpValueName, LPDWORD lpcchValueName, LPDWORD lpType, LPBYTE lpData,
                  LPDWORD lpcbData) {
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    std::wstring name;
    DWORD type = REG_NONE;
    std::string data;
    if (LSTATUS e = reg::EnumValue(hKey, index, &name, &type, &data); e != ERROR_SUCCESS) return e;
    if (LSTATUS e = CopyName(name, lpValueName, lpcchValueName); e != ERROR_SUCCESS) return e;
    if (lpType) *lpType = type;
    return reg::CopyOut(DataOut<C>(type, data), lpData, lpcbData);
}

}  // namespace

LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM samDesired, void*,
                        PHKEY phkResult, LPDWORD lpdwDisposition) {
    return reg::CreateKey(hKey, In(lpSubKey), samDesired, phkResult, lpdwDisposition);
}
LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired, void*,
                        PHKEY phkResult, LPDWORD lpdwDisposition) {
    return reg::CreateKey(hKey, In(lpSubKey), samDesired, phkResult, lpdwDisposition);
}

LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
    return reg::OpenKey(hKey, In(lpSubKey), samDesired, phkResult);
}
LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
    return reg::OpenKey(hKey, In(lpSubKey), samDesired, phkResult);
}

LSTATUS RegCloseKey(HKEY hKey) { return reg::CloseKey(hKey); }

LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData) {
    return QueryValue(hKey, lpValueName, lpType, lpData, lpcbData);
}
LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData) {
    return QueryValue(hKey, lpValueName, lpType, lpData, lpcbData);
}

LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
    return SetValue(hKey, lpValueName, dwType, lpData, cbData);
}
LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
    return SetValue(hKey, lpValueName, dwType, lpData, cbData);
}

LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) { return reg::DeleteValue(hKey, In(lpValueName)); }
LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) { return reg::DeleteValue(hKey, In(lpValueName)); }

LSTATUS RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) { return reg::DeleteKey(hKey, In(lpSubKey), false); }
LSTATUS RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) { return reg::DeleteKey(hKey, In(lpSubKey), false); }

LSTATUS RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) { return reg::DeleteKey(hKey, In(lpSubKey), true); }
LSTATUS RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey) { return reg::DeleteKey(hKey, In(lpSubKey), true); }

LSTATUS RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD, LPWSTR lpClass,
                      LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    return EnumKey(hKey, dwIndex, lpName, lpcchName, lpClass, lpcchClass, lpftLastWriteTime);
}
LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD, LPSTR lpClass,
                      LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    return EnumKey(hKey, dwIndex, lpName, lpcchName, lpClass, lpcchClass, lpftLastWriteTime);
}

LSTATUS RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD,
                      LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    return EnumValue(hKey, dwIndex, lpValueName, lpcchValueName, lpType, lpData, lpcbData);
}
LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD,
                      LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    return EnumValue(hKey, dwIndex, lpValueName, lpcchValueName, lpType, lpData, lpcbData);
}
