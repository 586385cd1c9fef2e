// Natural file-name order and the series add: an added episode brings the other episodes
// of its folder.
#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <map>
#include <set>

#include "platform/kernel/files.h"
#include "player/engine/media_types.h"
#include "player/play_list/play_list_wnd.h"
#include "player/settings/sys_config.h"

namespace {

bool IsAsciiDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// The numerals 0 to 10 as written in Chinese.
constexpr wchar_t kNumerals[] = {0x96F6, 0x4E00, 0x4E8C, 0x4E09, 0x56DB, 0x4E94, 0x516D, 0x4E03, 0x516B, 0x4E5D, 0x5341};

bool IsNumberChar(wchar_t c) { return std::iswdigit(static_cast<wint_t>(c)) || IsChineseNumeral(c); }

std::wstring UpperAscii(const std::wstring& s) {
    std::wstring out = s;
    for (wchar_t& c : out)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return out;
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) return false;
    return true;
}

std::wstring FolderOf(const std::wstring& path) {
    size_t slash = path.rfind(L'/');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring NameOf(const std::wstring& path) {
    size_t slash = path.rfind(L'/');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

int NaturalCompare(const std::wstring& a, const std::wstring& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsAsciiDigit(a[i]) && IsAsciiDigit(b[j])) {
            size_t si = i, sj = j;
            while (si < a.size() && a[si] == L'0') ++si;
            while (sj < b.size() && b[sj] == L'0') ++sj;
            size_t ei = si, ej = sj;
            while (ei < a.size() && IsAsciiDigit(a[ei])) ++ei;
            while (ej < b.size() && IsAsciiDigit(b[ej])) ++ej;
            if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
            for (size_t k = 0; k < ei - si; ++k)
                if (a[si + k] != b[sj + k]) return a[si + k] < b[sj + k] ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        wint_t ca = std::towlower(static_cast<wint_t>(a[i])), cb = std::towlower(static_cast<wint_t>(b[j]));
        if (ca != cb) return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    // Equal in natural order ("a.mkv" and "A.mkv", "1" and "01"): two different files all the same.
    int exact = a.compare(b);
    return exact < 0 ? -1 : exact > 0 ? 1 : 0;
}

bool IsChineseNumeral(wchar_t ch) {
    for (wchar_t n : kNumerals)
        if (n == ch) return true;
    return false;
}

bool IsSimilarFileName(const std::wstring& first, const std::wstring& second) {
    // Episodes of one series lie in one folder.
    if (FolderOf(first) != FolderOf(second)) return false;
    std::wstring ua = UpperAscii(NameOf(first)), ub = UpperAscii(NameOf(second));
    if (ua.empty() || ub.empty()) return false;
    auto extOf = [](const std::wstring& s) {
        size_t dot = s.rfind(L'.');
        return dot == std::wstring::npos ? s : s.substr(dot);
    };
    std::wstring extA = extOf(ua), extB = extOf(ub);
    if (!EqualNoCase(extA, extB)) return false;
    const size_t stemA = ua.size() - extA.size(), stemB = ub.size() - extB.size();
    const size_t m = std::min(stemA, stemB);
    std::wstring runA, runB;
    size_t pA = m, pB = m;
    for (size_t k = 0; k < m; ++k) {
        if (ua[k] == ub[k]) continue;
        pA = k + 1;
        runA = ua[k];
        while (pA < ua.size() && IsNumberChar(ua[pA])) runA += ua[pA++];
        pB = k + 1;
        runB = ub[k];
        while (pB < ub.size() && IsNumberChar(ub[pB])) runB += ub[pB++];
        break;
    }
    if (pA == stemA) runB += ub.substr(m, stemB - m);
    else if (pB == stemB) runA += ua.substr(m, stemA - m);
    for (wchar_t c : runA + runB)
        if (!IsNumberChar(c)) return false;
    return true;
}

int CollectFolderMediaNames(const std::wstring& folder, std::vector<std::wstring>& names) {
    std::error_code ec;
    std::filesystem::directory_iterator it(platform::FsPath(folder), ec), end;
    if (ec) return 0;
    std::set<std::wstring, FileNameCmpLess> found;
    const std::wstring prefix = folder.empty() || folder.back() == L'/' ? folder : folder + L"/";
    for (; it != end; it.increment(ec)) {
        if (ec) break;
        std::wstring name = skinui::CDuiString::FromUtf8(it->path().filename().string());
        if (name.empty() || name[0] == L'.') continue;
        std::error_code dirEc;
        if (it->is_directory(dirEc)) continue;
        std::wstring path = prefix + name;
        if (IsVideoFile(path.c_str())) found.insert(name);
    }
    names.insert(names.end(), found.begin(), found.end());
    return static_cast<int>(found.size());
}

int CPlayListWnd::AddFiles(const std::vector<std::wstring>& pathsIn, bool) {
    EnsureLoaded();
    if (!g_SysConfig.bAddSimilarFile || pathsIn.empty() || !m_pList) return 0;
    // Of each run of similar neighbours only the last one is looked for.
    std::vector<std::wstring> paths;
    for (size_t i = 0; i < pathsIn.size(); ++i)
        if (i + 1 == pathsIn.size() || !IsSimilarFileName(pathsIn[i], pathsIn[i + 1])) paths.push_back(pathsIn[i]);
    // Each folder of the inputs has its own series pass.
    std::vector<std::wstring> folders;
    for (const std::wstring& p : paths)
        if (std::find(folders.begin(), folders.end(), FolderOf(p)) == folders.end()) folders.push_back(FolderOf(p));
    std::map<std::wstring, std::wstring, FileNameCmpGreater> candidates;
    for (const std::wstring& folder : folders) {
        std::vector<std::wstring> names;
        if (CollectFolderMediaNames(folder, names) == 0) continue;
        const std::wstring prefix = folder.empty() || folder.back() == L'/' ? folder : folder + L"/";
        for (const std::wstring& p : paths) {
            if (FolderOf(p) != folder) continue;
            for (const std::wstring& n : names) {
                std::wstring candidate = prefix + n;
                if (IsSimilarFileName(p, candidate)) candidates[candidate] = n;
            }
        }
    }
    // What was given comes in whatever the passes found: a name the folder scan passes over, or
    // one left out for a similar neighbour that does not match it.
    for (const std::wstring& p : pathsIn)
        if (IsVideoFile(p.c_str()) && PathFileExistsW(p.c_str())) candidates[p] = NameOf(p);
    if (candidates.empty()) return 0;
    int added = 0;
    bool refused = false;
    for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
        _tagMediaInfo* record = MakeRecord(it->first);
        if (ListRecord(record, nullptr)) {
            ++added;
        } else {
            delete record;
            refused = true;
        }
    }
    ShowAddTip(added, refused);
    return added;
}
