#include "support/registry_db.h"

#include <cstring>
#include <stdexcept>

namespace testsupport {

TempRegistry::TempRegistry()
    : path_((dir_.path() / "registry.db").string()), env_("MORVANE_REGISTRY_DB", path_) {}

std::wstring RegValue::text() const {
    std::wstring w(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(w.data(), bytes.data(), w.size() * sizeof(wchar_t));
    if (!w.empty() && w.back() == L'\0') w.pop_back();
    return w;
}

std::optional<RegValue> RegRead(HKEY root, const std::wstring& key, const std::wstring& name) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return std::nullopt;
    RegValue v;
    DWORD size = 0;
    LSTATUS e = RegQueryValueExW(h, name.c_str(), nullptr, &v.type, nullptr, &size);
    if (e == ERROR_SUCCESS) {
        v.bytes.resize(size);
        e = RegQueryValueExW(h, name.c_str(), nullptr, &v.type, reinterpret_cast<BYTE*>(v.bytes.data()), &size);
        v.bytes.resize(size);
    }
    RegCloseKey(h);
    if (e != ERROR_SUCCESS) return std::nullopt;
    return v;
}

bool RegKeyExists(HKEY root, const std::wstring& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

namespace {

// Names of the subkeys (values: false) or values (true) of a key, by index until the end.
std::vector<std::wstring> EnumNames(HKEY root, const std::wstring& key, bool values) {
    std::vector<std::wstring> out;
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return out;
    std::wstring name(16384, L'\0');
    for (DWORD i = 0;; ++i) {
        DWORD cch = static_cast<DWORD>(name.size());
        LSTATUS e = values ? RegEnumValueW(h, i, name.data(), &cch, nullptr, nullptr, nullptr, nullptr)
                           : RegEnumKeyExW(h, i, name.data(), &cch, nullptr, nullptr, nullptr, nullptr);
        if (e != ERROR_SUCCESS) break;
        out.emplace_back(name.data(), cch);
    }
    RegCloseKey(h);
    return out;
}

}  // namespace

std::vector<std::wstring> RegSubkeys(HKEY root, const std::wstring& key) { return EnumNames(root, key, false); }

std::vector<std::wstring> RegValueNames(HKEY root, const std::wstring& key) { return EnumNames(root, key, true); }

void RegWrite(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("RegWrite: cannot create key");
    LSTATUS e = RegSetValueExW(h, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    if (e != ERROR_SUCCESS) throw std::runtime_error("RegWrite: cannot set value");
}

}  // namespace testsupport
