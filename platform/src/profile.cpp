#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <cwctype>
#include <locale.h>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/codepage.h"
#include "platform/files.h"

namespace platform {
namespace {

struct Line {
    bool isKey = false;
    std::wstring key;    // trimmed, as written in the file
    std::wstring value;  // trimmed
    std::wstring raw;    // comments, blank lines and anything unparsed, kept as they were
};

struct Section {
    bool hasHeader = true;
    std::wstring name;
    std::vector<Line> lines;
};

struct Model {
    std::vector<Section> sections;
    std::unordered_map<std::wstring, size_t> index;  // folded name -> first section of that name
};

locale_t FoldLocale() {
    static locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return l ? l : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }();
    return loc;
}

std::wstring Fold(std::wstring_view s) {
    std::wstring r(s);
    locale_t loc = FoldLocale();
    for (auto& c : r) c = static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), loc));
    return r;
}

bool EqualNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    locale_t loc = FoldLocale();
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] &&
            towlower_l(static_cast<wint_t>(a[i]), loc) != towlower_l(static_cast<wint_t>(b[i]), loc))
            return false;
    return true;
}

std::wstring_view Trim(std::wstring_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == L' ' || s[b] == L'\t')) ++b;
    while (e > b && (s[e - 1] == L' ' || s[e - 1] == L'\t')) --e;
    return s.substr(b, e - b);
}

void Reindex(Model& m) {
    m.index.clear();
    for (size_t i = 0; i < m.sections.size(); ++i)
        if (m.sections[i].hasHeader) m.index.emplace(Fold(m.sections[i].name), i);
}

Model Parse(std::string_view bytes) {
    if (bytes.size() >= 3 && std::memcmp(bytes.data(), "\xEF\xBB\xBF", 3) == 0) bytes.remove_prefix(3);
    std::wstring text = WideFromUtf8(bytes);
    Model m;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find(L'\n', pos);
        size_t end = nl == std::wstring::npos ? text.size() : nl;
        std::wstring_view line(text.data() + pos, end - pos);
        if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
        pos = nl == std::wstring::npos ? text.size() : nl + 1;

        std::wstring_view t = Trim(line);
        if (!t.empty() && t.front() == L'[') {
            size_t close = t.find(L']');
            if (close != std::wstring_view::npos) {
                Section s;
                s.name = Trim(t.substr(1, close - 1));
                m.sections.push_back(std::move(s));
                continue;
            }
        }
        if (m.sections.empty()) {
            Section s;
            s.hasHeader = false;
            m.sections.push_back(std::move(s));
        }
        Line l;
        size_t eq = t.find(L'=');
        if (!t.empty() && t.front() != L';' && eq != std::wstring_view::npos && eq > 0) {
            l.isKey = true;
            l.key = Trim(t.substr(0, eq));
            l.value = Trim(t.substr(eq + 1));
        } else {
            l.raw = line;
        }
        m.sections.back().lines.push_back(std::move(l));
    }
    Reindex(m);
    return m;
}

std::string Serialize(const Model& m) {
    std::wstring out;
    for (const auto& s : m.sections) {
        if (s.hasHeader) out += L"[" + s.name + L"]\n";
        for (const auto& l : s.lines) {
            if (l.isKey) out += l.key + L"=" + l.value + L"\n";
            else out += l.raw + L"\n";
        }
    }
    return Utf8FromWide(out);
}

// Parsed files are kept while they are unchanged, so reading many keys of a large file does
// not parse it again for each key. Small files are compared byte for byte (an editor may
// rewrite one in place within the clock's resolution); large ones by identity and times.
constexpr size_t kCompareBytesLimit = 64 * 1024;
constexpr size_t kMaxCachedFiles = 32;

struct Signature {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{}, ctime{};
    bool operator==(const Signature& o) const {
        return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
               ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

Signature SigOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

struct CacheEntry {
    Signature sig;
    std::string bytes;  // only for small files
    std::shared_ptr<const Model> model;
};

std::mutex g_cacheMutex;
// Built on first use: settings are read by other static objects before this file's own
// static initialisation has run.
std::unordered_map<std::string, CacheEntry>& Cache() {
    static std::unordered_map<std::string, CacheEntry> cache;
    return cache;
}

void Remember(const std::string& fs, const Signature& sig, std::string bytes, std::shared_ptr<const Model> model) {
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    if (Cache().size() >= kMaxCachedFiles && !Cache().count(fs)) Cache().erase(Cache().begin());
    CacheEntry& e = Cache()[fs];
    e.sig = sig;
    e.bytes = bytes.size() <= kCompareBytesLimit ? std::move(bytes) : std::string();
    e.model = std::move(model);
}

// The current content of the file; a missing or unreadable file is empty. `bytes` receives
// the file as read.
std::shared_ptr<const Model> Load(const std::string& fs, std::string* bytesOut = nullptr) {
    int fd = ::open(fs.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        if (fd >= 0) ::close(fd);
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        Cache().erase(fs);
        if (bytesOut) bytesOut->clear();
        return std::make_shared<const Model>();
    }
    Signature sig = SigOf(st);
    bool small = static_cast<size_t>(st.st_size) <= kCompareBytesLimit;
    if (!small && !bytesOut) {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        auto it = Cache().find(fs);
        if (it != Cache().end() && it->second.sig == sig) {
            ::close(fd);
            return it->second.model;
        }
    }
    std::string bytes;
    bytes.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t r = ::read(fd, buf, sizeof buf);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        bytes.append(buf, static_cast<size_t>(r));
    }
    ::close(fd);
    std::shared_ptr<const Model> model;
    {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        auto it = Cache().find(fs);
        if (it != Cache().end() && it->second.sig == sig && (!small || it->second.bytes == bytes))
            model = it->second.model;
    }
    if (!model) {
        model = std::make_shared<const Model>(Parse(bytes));
        Remember(fs, sig, bytes, model);
    }
    if (bytesOut) *bytesOut = std::move(bytes);
    return model;
}

const Section* FindSection(const Model& m, std::wstring_view name) {
    auto it = m.index.find(Fold(Trim(name)));
    return it == m.index.end() ? nullptr : &m.sections[it->second];
}

const Line* FindKey(const Section& s, std::wstring_view key) {
    key = Trim(key);
    for (const auto& l : s.lines)
        if (l.isKey && EqualNoCase(l.key, key)) return &l;
    return nullptr;
}

bool HasLineBreak(std::wstring_view s) { return s.find_first_of(L"\r\n") != std::wstring_view::npos; }

bool UsableSectionName(std::wstring_view s) { return !HasLineBreak(s) && s.find(L']') == std::wstring_view::npos; }

bool UsableKeyName(std::wstring_view k) {
    k = Trim(k);
    return !k.empty() && !HasLineBreak(k) && k.find(L'=') == std::wstring_view::npos && k.front() != L'[' &&
           k.front() != L';';
}

// A line break inside a value would start a new line of the file (and could forge a
// section), so it is written as a blank.
std::wstring CleanValue(std::wstring_view v) {
    std::wstring r(Trim(v));
    for (auto& c : r)
        if (c == L'\r' || c == L'\n') c = L' ';
    return r;
}

bool Store(const std::string& fs, const std::string& oldBytes, const Model& m) {
    std::string bytes = Serialize(m);
    if (bytes == oldBytes && !oldBytes.empty()) return true;
    if (!WriteFileAtomic(fs, bytes)) return false;
    struct stat st;
    if (::stat(fs.c_str(), &st) == 0) Remember(fs, SigOf(st), std::move(bytes), std::make_shared<const Model>(m));
    return true;
}

// Read-modify-write of one key or section under the file's write lock.
bool WriteEntry(std::wstring_view file, LPCWSTR section, LPCWSTR key, LPCWSTR value) {
    if (!UsableSectionName(section) || (key && !UsableKeyName(key))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::string fs = FsPath(file);
    FileWriteLock lock(fs);
    if (!lock.locked()) return false;
    std::string oldBytes;
    std::shared_ptr<const Model> current = Load(fs, &oldBytes);
    Model m = *current;
    std::wstring secName(Trim(section));
    std::wstring folded = Fold(secName);
    auto matches = [&](const Section& s) { return s.hasHeader && Fold(s.name) == folded; };

    if (!key) {
        auto old = m.sections.size();
        m.sections.erase(std::remove_if(m.sections.begin(), m.sections.end(), matches), m.sections.end());
        if (m.sections.size() == old) return true;
        Reindex(m);
        return Store(fs, oldBytes, m);
    }
    std::wstring keyName(Trim(key));
    auto sit = std::find_if(m.sections.begin(), m.sections.end(), matches);
    if (!value) {
        if (sit == m.sections.end()) return true;
        auto& lines = sit->lines;
        auto lit = std::find_if(lines.begin(), lines.end(),
                                [&](const Line& l) { return l.isKey && EqualNoCase(l.key, keyName); });
        if (lit == lines.end()) return true;
        lines.erase(lit);
        return Store(fs, oldBytes, m);
    }
    if (sit == m.sections.end()) {
        Section s;
        s.name = secName;
        m.sections.push_back(std::move(s));
        sit = m.sections.end() - 1;
        Reindex(m);
    }
    auto& lines = sit->lines;
    auto lit = std::find_if(lines.begin(), lines.end(),
                            [&](const Line& l) { return l.isKey && EqualNoCase(l.key, keyName); });
    if (lit != lines.end()) {
        lit->value = CleanValue(value);
    } else {
        // After the section's last key, so trailing blank lines stay between sections.
        auto last = std::find_if(lines.rbegin(), lines.rend(), [](const Line& l) { return l.isKey; });
        Line l;
        l.isKey = true;
        l.key = keyName;
        l.value = CleanValue(value);
        lines.insert(last.base(), std::move(l));
    }
    return Store(fs, oldBytes, m);
}

std::wstring StripQuotes(const std::wstring& v) {
    if (v.size() >= 2 && (v.front() == L'"' || v.front() == L'\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// What a profile read answers: a value (or default), or a NUL-separated list of names.
struct Answer {
    std::wstring text;
    bool isList = false;
};

Answer Query(LPCWSTR file, LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue) {
    Answer a;
    std::shared_ptr<const Model> m = file ? Load(FsPath(file)) : std::make_shared<const Model>();
    if (!section) {
        a.isList = true;
        for (const auto& s : m->sections)
            if (s.hasHeader) a.text += s.name + L'\0';
        return a;
    }
    const Section* s = FindSection(*m, section);
    if (!key) {
        a.isList = true;
        if (s)
            for (const auto& l : s->lines)
                if (l.isKey) a.text += l.key + L'\0';
        return a;
    }
    if (s)
        if (const Line* l = FindKey(*s, key)) {
            a.text = StripQuotes(l->value);
            return a;
        }
    std::wstring_view d = defaultValue ? defaultValue : L"";
    while (!d.empty() && d.back() == L' ') d.remove_suffix(1);
    a.text = d;
    return a;
}

template <class C>
DWORD CopyOut(const std::basic_string<C>& s, bool isList, C* out, DWORD size) {
    if (!out || size == 0) return 0;
    if (!isList) {
        size_t n = std::min<size_t>(s.size(), size - 1);
        std::copy_n(s.data(), n, out);
        out[n] = 0;
        return static_cast<DWORD>(n);
    }
    if (s.size() + 1 <= size) {
        std::copy_n(s.data(), s.size(), out);
        out[s.size()] = 0;
        if (s.empty() && size >= 2) out[1] = 0;
        return static_cast<DWORD>(s.size());
    }
    if (size < 2) {
        out[0] = 0;
        return 0;
    }
    std::copy_n(s.data(), size - 2, out);
    out[size - 2] = 0;
    out[size - 1] = 0;
    return size - 2;
}

// Decimal text: optional blanks and sign, then digits up to the first other character;
// values beyond the int range saturate.
INT ParseProfileInt(std::wstring_view v, INT defaultValue) {
    size_t i = 0;
    while (i < v.size() && (v[i] == L' ' || v[i] == L'\t')) ++i;
    if (i == v.size()) return defaultValue;
    bool neg = false;
    if (v[i] == L'-' || v[i] == L'+') neg = v[i++] == L'-';
    long long r = 0;
    for (; i < v.size() && v[i] >= L'0' && v[i] <= L'9'; ++i) {
        r = r * 10 + (v[i] - L'0');
        if (r > static_cast<long long>(INT_MAX) + 1) r = static_cast<long long>(INT_MAX) + 1;
    }
    if (neg) r = -r;
    return static_cast<INT>(std::clamp<long long>(r, INT_MIN, INT_MAX));
}

UINT ReadInt(LPCWSTR file, LPCWSTR section, LPCWSTR key, INT defaultValue) {
    if (!section || !key) return static_cast<UINT>(defaultValue);
    Answer a = Query(file, section, key, L"");
    if (a.text.empty()) return static_cast<UINT>(defaultValue);
    return static_cast<UINT>(ParseProfileInt(a.text, defaultValue));
}

// Holds the wide form of an optional ANSI argument.
struct AnsiArg {
    explicit AnsiArg(LPCSTR s) : present(s != nullptr), wide(s ? WideFromAnsi(s) : std::wstring()) {}
    LPCWSTR get() const { return present ? wide.c_str() : nullptr; }
    bool present;
    std::wstring wide;
};

}  // namespace

bool WriteProfileFile(std::wstring_view file, const std::vector<ProfileSection>& sections) {
    Model m;
    for (const auto& ps : sections) {
        if (!UsableSectionName(ps.name)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        Section s;
        s.name = Trim(ps.name);
        for (const auto& [k, v] : ps.entries) {
            if (!UsableKeyName(k)) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return false;
            }
            Line l;
            l.isKey = true;
            l.key = Trim(k);
            l.value = CleanValue(v);
            s.lines.push_back(std::move(l));
        }
        m.sections.push_back(std::move(s));
    }
    Reindex(m);
    std::string fs = FsPath(file);
    FileWriteLock lock(fs);
    if (!lock.locked()) return false;
    return Store(fs, std::string(), m);
}

bool ReadProfileString(std::wstring_view file, std::wstring_view section, std::wstring_view key,
                       std::wstring& value) {
    std::shared_ptr<const Model> m = Load(FsPath(file));
    const Section* s = FindSection(*m, section);
    const Line* l = s ? FindKey(*s, key) : nullptr;
    if (!l) return false;
    value = StripQuotes(l->value);
    return true;
}

}  // namespace platform

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR out, DWORD size,
                               LPCWSTR file) {
    if (!out || size == 0) return 0;
    platform::Answer a = platform::Query(file, section, key, defaultValue);
    return platform::CopyOut(a.text, a.isList, out, size);
}

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR out, DWORD size,
                               LPCSTR file) {
    if (!out || size == 0) return 0;
    platform::AnsiArg s(section), k(key), d(defaultValue), f(file);
    platform::Answer a = platform::Query(f.get(), s.get(), k.get(), d.get());
    return platform::CopyOut(platform::AnsiFromWide(a.text), a.isList, out, size);
}

UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR file) {
    return platform::ReadInt(file, section, key, defaultValue);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR file) {
    platform::AnsiArg s(section), k(key), f(file);
    return platform::ReadInt(f.get(), s.get(), k.get(), defaultValue);
}

BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file) {
    if (!section) {
        // All three null asks to flush a cache; every write is already on the disk.
        if (!key && !value) return TRUE;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!file || !*file) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return platform::WriteEntry(file, section, key, value) ? TRUE : FALSE;
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
    platform::AnsiArg s(section), k(key), v(value), f(file);
    return WritePrivateProfileStringW(s.get(), k.get(), v.get(), f.get());
}
