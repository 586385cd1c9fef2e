// Registry operations on (root, key path, value name) given as ANSI text, for the player, the
// agent and the installer plug-in. Stateless: every call opens what it needs and closes it.
// An empty value name is the key's unnamed (default) value.
#pragma once

#include <string>

#include "platform/registry/registry.h"

class CRegHelper {
public:
    // Creates the key and any missing parents.
    static bool CreateKey(HKEY root, const std::string& key);
    // REG_SZ with its terminating NUL; creates the key when it is missing.
    static bool SetString(HKEY root, const std::string& key, const std::string& name, const std::string& text);
    // Only string values (REG_SZ, REG_EXPAND_SZ) are read; out is empty on failure.
    static bool GetString(HKEY root, const std::string& key, const std::string& name, std::string& out);
    static bool SetDword(HKEY root, const std::string& key, const std::string& name, DWORD value);
    // Only a 4-byte REG_DWORD is read; out is 0 on failure.
    static bool GetDword(HKEY root, const std::string& key, const std::string& name, DWORD& out);
    // With a value name deletes that value; without one deletes the key with all its subkeys.
    // Something already missing counts as deleted. An empty key path is refused (false).
    static bool DeleteValueOrTree(HKEY root, const std::string& key, const std::string& name);
    // Win32 error codes of the open or of the delete.
    static LONG DeleteValue(HKEY root, const std::string& key, const std::string& name);
    // Deletes the one named subkey of key; fails when that subkey has subkeys of its own.
    static LONG DeleteSubKey(HKEY root, const std::string& key, const std::string& subKey);

    // The same with C strings: a null pointer gives false (ERROR_INVALID_PARAMETER for the
    // forms with an error code) and touches nothing, except that a null value name of
    // DeleteValueOrTree means none (delete the tree).
    static bool CreateKey(HKEY root, const char* key);
    static bool SetString(HKEY root, const char* key, const char* name, const char* text);
    static bool GetString(HKEY root, const char* key, const char* name, std::string& out);
    static bool SetDword(HKEY root, const char* key, const char* name, DWORD value);
    static bool GetDword(HKEY root, const char* key, const char* name, DWORD& out);
    static bool DeleteValueOrTree(HKEY root, const char* key, const char* name);
    static LONG DeleteValue(HKEY root, const char* key, const char* name);
    static LONG DeleteSubKey(HKEY root, const char* key, const char* subKey);
};
