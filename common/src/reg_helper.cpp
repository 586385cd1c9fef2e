#include "common/reg_helper.h"

#include <vector>

#include "common/convert.h"

namespace {

std::wstring W(const std::string& s) { return AnsiToWide(s.c_str()); }

// Opens the key for writing values, creating it (with its parents) only when it is missing.
LSTATUS OpenForWrite(HKEY root, const std::string& key, HKEY* h) {
    LSTATUS e = RegOpenKeyExW(root, W(key).c_str(), 0, KEY_SET_VALUE, h);
    if (e != ERROR_FILE_NOT_FOUND) return e;
    if (!CRegHelper::CreateKey(root, key)) return e;
    return RegOpenKeyExW(root, W(key).c_str(), 0, KEY_SET_VALUE, h);
}

bool WriteValue(HKEY root, const std::string& key, const std::string& name, DWORD type, const void* data,
                DWORD size) {
    HKEY h = nullptr;
    if (OpenForWrite(root, key, &h) != ERROR_SUCCESS) return false;
    LSTATUS e = RegSetValueExW(h, W(name).c_str(), 0, type, static_cast<const BYTE*>(data), size);
    LSTATUS c = RegCloseKey(h);
    return e == ERROR_SUCCESS && c == ERROR_SUCCESS;
}

}  // namespace

bool CRegHelper::CreateKey(HKEY root, const std::string& key) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(root, W(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &h,
                        nullptr) != ERROR_SUCCESS)
        return false;
    return RegCloseKey(h) == ERROR_SUCCESS;
}

bool CRegHelper::SetString(HKEY root, const std::string& key, const std::string& name, const std::string& text) {
    std::wstring w = W(text);
    return WriteValue(root, key, name, REG_SZ, w.c_str(), static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t)));
}

bool CRegHelper::SetDword(HKEY root, const std::string& key, const std::string& name, DWORD value) {
    return WriteValue(root, key, name, REG_DWORD, &value, sizeof value);
}

bool CRegHelper::GetString(HKEY root, const std::string& key, const std::string& name, std::string& out) {
    out.clear();
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, W(key).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    const std::wstring wname = W(name);
    auto isText = [](DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; };
    DWORD type = REG_NONE, size = 0;
    wchar_t probe = 0;
    LSTATUS e = RegQueryValueExW(h, wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&probe), &size);
    bool ok = e == ERROR_MORE_DATA && isText(type);
    // Another writer may change the value between two queries. The buffer keeps one character
    // beyond what the registry may fill, for the terminator; a value that has grown past it
    // answers ERROR_MORE_DATA with its new size, and is asked again in a buffer never smaller
    // than any size seen, so a value flipping between two lengths costs one extra query.
    std::vector<wchar_t> buf;
    for (int attempt = 0; ok && attempt < 64; ++attempt) {
        const std::size_t chars = (size + sizeof(wchar_t) - 1) / sizeof(wchar_t) + 1;
        if (chars > buf.size()) buf.assign(chars, L'\0');
        DWORD got = static_cast<DWORD>((buf.size() - 1) * sizeof(wchar_t));
        e = RegQueryValueExW(h, wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &got);
        if (e == ERROR_MORE_DATA) {
            size = got;
            continue;
        }
        ok = e == ERROR_SUCCESS && isText(type);
        if (ok) {
            buf[got / sizeof(wchar_t)] = L'\0';
            out = WideToAcp(buf.data());
        }
        break;
    }
    if (e == ERROR_MORE_DATA) ok = false;  // still changing after every attempt
    return RegCloseKey(h) == ERROR_SUCCESS && ok;
}

bool CRegHelper::GetDword(HKEY root, const std::string& key, const std::string& name, DWORD& out) {
    out = 0;
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, W(key).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    DWORD type = REG_NONE, value = 0, size = sizeof value;
    bool ok = RegQueryValueExW(h, W(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                  ERROR_SUCCESS &&
              type == REG_DWORD && size == sizeof value;
    if (RegCloseKey(h) != ERROR_SUCCESS) ok = false;
    if (ok) out = value;
    return ok;
}

bool CRegHelper::DeleteValueOrTree(HKEY root, const std::string& key, const std::string& name) {
    // An empty path would name the root itself: never empty a whole root by accident.
    if (key.empty()) return false;
    HKEY h = nullptr;
    if (!name.empty()) {
        LSTATUS e = RegOpenKeyExW(root, W(key).c_str(), 0, KEY_ALL_ACCESS, &h);
        if (e != ERROR_SUCCESS) return e == ERROR_FILE_NOT_FOUND;
        e = RegDeleteValueW(h, W(name).c_str());
        RegCloseKey(h);
        return e == ERROR_SUCCESS || e == ERROR_FILE_NOT_FOUND;
    }
    if (RegDeleteKeyW(root, W(key).c_str()) == ERROR_SUCCESS) return true;
    LSTATUS e = RegOpenKeyExW(root, W(key).c_str(), 0, KEY_READ, &h);
    if (e != ERROR_SUCCESS) return e == ERROR_FILE_NOT_FOUND;
    std::string base = key.back() == '\\' ? key : key + "\\";
    bool ok = true;
    for (;;) {
        // Index 0 every time: each delete shifts the remaining subkeys down.
        wchar_t sub[MAX_PATH];
        DWORD cch = MAX_PATH;
        e = RegEnumKeyExW(h, 0, sub, &cch, nullptr, nullptr, nullptr, nullptr);
        if (e == ERROR_NO_MORE_ITEMS) break;
        if (e != ERROR_SUCCESS || !DeleteValueOrTree(root, base + WideToAcp(std::wstring(sub, cch)), std::string())) {
            ok = false;
            break;
        }
    }
    RegCloseKey(h);
    if (!ok) return false;
    return RegDeleteKeyW(root, W(base.substr(0, base.size() - 1)).c_str()) == ERROR_SUCCESS;
}

LONG CRegHelper::DeleteValue(HKEY root, const std::string& key, const std::string& name) {
    HKEY h = nullptr;
    if (LSTATUS e = RegOpenKeyExW(root, W(key).c_str(), 0, KEY_ALL_ACCESS, &h); e != ERROR_SUCCESS) return e;
    LSTATUS e = RegDeleteValueW(h, W(name).c_str());
    RegCloseKey(h);
    return e;
}

LONG CRegHelper::DeleteSubKey(HKEY root, const std::string& key, const std::string& subKey) {
    HKEY h = nullptr;
    if (LSTATUS e = RegOpenKeyExW(root, W(key).c_str(), 0, KEY_ALL_ACCESS, &h); e != ERROR_SUCCESS) return e;
    LSTATUS e = RegDeleteKeyW(h, W(subKey).c_str());
    RegCloseKey(h);
    return e;
}

bool CRegHelper::CreateKey(HKEY root, const char* key) { return key && CreateKey(root, std::string(key)); }

bool CRegHelper::SetString(HKEY root, const char* key, const char* name, const char* text) {
    return key && name && text && SetString(root, std::string(key), std::string(name), std::string(text));
}

bool CRegHelper::GetString(HKEY root, const char* key, const char* name, std::string& out) {
    out.clear();
    return key && name && GetString(root, std::string(key), std::string(name), out);
}

bool CRegHelper::SetDword(HKEY root, const char* key, const char* name, DWORD value) {
    return key && name && SetDword(root, std::string(key), std::string(name), value);
}

bool CRegHelper::GetDword(HKEY root, const char* key, const char* name, DWORD& out) {
    out = 0;
    return key && name && GetDword(root, std::string(key), std::string(name), out);
}

bool CRegHelper::DeleteValueOrTree(HKEY root, const char* key, const char* name) {
    return key && DeleteValueOrTree(root, std::string(key), std::string(name ? name : ""));
}

LONG CRegHelper::DeleteValue(HKEY root, const char* key, const char* name) {
    if (!key || !name) return ERROR_INVALID_PARAMETER;
    return DeleteValue(root, std::string(key), std::string(name));
}

LONG CRegHelper::DeleteSubKey(HKEY root, const char* key, const char* subKey) {
    if (!key || !subKey) return ERROR_INVALID_PARAMETER;
    return DeleteSubKey(root, std::string(key), std::string(subKey));
}
