#include "platform/kernel/module_names.h"

#include <algorithm>
#include <cwctype>

namespace platform {
namespace {

struct Mapping {
    const wchar_t* original;
    const wchar_t* ours;
};

constexpr Mapping kModules[] = {
    {L"morvane.exe", L"morvane"},
    {L"morvaneuac.exe", L"MorvaneUAC"},
    {L"wzupdate.dll", L"WZUpdate.so"},
    {L"wznsis.dll", L"wznsis.so"},
    {L"wzupdate.exe", L"WZUpdate"},
    {L"mediainfo.dll", L"libmediainfo.so.0"},
};

std::wstring Lower(std::wstring s) {
    std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return s;
}

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

template <typename Str>
Str MapPath(const Str& path, Str (*mapName)(const Str&)) {
    auto slash = path.find_last_of(static_cast<typename Str::value_type>('/'));
    if (slash == Str::npos) return mapName(path);
    return path.substr(0, slash + 1) + mapName(path.substr(slash + 1));
}

}  // namespace

std::wstring MapModuleName(const std::wstring& name) {
    const std::wstring key = Lower(name);
    for (const auto& m : kModules)
        if (key == m.original) return m.ours;
    return name;
}

std::string MapModuleName(const std::string& name) {
    // Module names are plain ASCII; anything else cannot match and passes through unchanged.
    if (std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
        return name;
    std::wstring mapped = MapModuleName(Widen(name));
    return std::string(mapped.begin(), mapped.end());
}

std::string MapModulePath(const std::string& path) {
    return MapPath<std::string>(path, &MapModuleName);
}

std::wstring MapModulePath(const std::wstring& path) {
    return MapPath<std::wstring>(path, &MapModuleName);
}

}  // namespace platform
