#include "platform/profile/profile.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <cwctype>
#include <deque>
#include <locale.h>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#include "platform/text/codepage.h"
#include "platform/kernel/files.h"

namespace platform {

// A profile file as read: its bytes, and where each section lies in them. The lines of a
// section are parsed again whenever it is searched, so a large file costs little more memory
// than its size, and a write changes only the bytes of the line it touches.
struct ProfileModel {
    struct Section {
        bool hasHeader = true;
        size_t nameBegin = 0, nameEnd = 0;  // the trimmed name between the brackets
        size_t header = 0;                  // start of the header line
        size_t body = 0;                    // start of the line after the header
        size_t end = 0;                     // start of the next header line, or the text's end
    };
    std::string text;
    // A model read for many lookups (or kept) knows where its sections are; one read for a
    // single lookup or write walks its text instead.
    bool indexed = false;
    std::vector<Section> sections;
    std::unordered_map<std::string, size_t> index;  // folded name -> first section of that name
};

// Decimal text: optional blanks and sign, then digits up to the first other character;
// values beyond the int range saturate. An empty value gives the default.
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

bool IsProfileInteger(std::wstring_view v) {
    if (!v.empty() && (v.front() == L'-' || v.front() == L'+')) v.remove_prefix(1);
    if (v.empty()) return false;
    for (wchar_t c : v)
        if (c < L'0' || c > L'9') return false;
    return true;
}

namespace {

using Model = ProfileModel;

locale_t FoldLocale() {
    static locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return l ? l : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }();
    return loc;
}

bool IsAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Names match without regard to case, character by character (towlower in the C.UTF-8 locale).
std::string Fold(std::string_view utf8) {
    if (IsAscii(utf8)) {
        std::string r(utf8);
        for (auto& c : r) c = AsciiLower(c);
        return r;
    }
    std::wstring w = WideFromUtf8(utf8);
    locale_t loc = FoldLocale();
    for (auto& c : w) c = static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), loc));
    return Utf8FromWide(w);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (IsAscii(a) && IsAscii(b)) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
        return true;
    }
    return Fold(a) == Fold(b);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::wstring_view Trim(std::wstring_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == L' ' || s[b] == L'\t')) ++b;
    while (e > b && (s[e - 1] == L' ' || s[e - 1] == L'\t')) --e;
    return s.substr(b, e - b);
}

struct Span {
    size_t begin = 0, end = 0;
    std::string_view in(const std::string& t) const { return std::string_view(t).substr(begin, end - begin); }
};

Span TrimSpan(const std::string& t, Span s) {
    while (s.begin < s.end && IsBlank(t[s.begin])) ++s.begin;
    while (s.end > s.begin && IsBlank(t[s.end - 1])) --s.end;
    return s;
}

// One line of the text: `next` is where the following line starts.
struct Line {
    Span text;  // without the line break
    size_t next = 0;
    enum Kind { Raw, Header, Key } kind = Raw;
    Span name;   // header: the section name; key: the key
    Span value;  // key: the value
};

// The separators are ASCII, so they never occur inside a multi-byte UTF-8 sequence and the
// bytes can be parsed as they are.
Line ParseLine(const std::string& t, size_t pos) {
    Line l;
    const size_t nl = t.find('\n', pos);
    l.next = nl == std::string::npos ? t.size() : nl + 1;
    size_t end = nl == std::string::npos ? t.size() : nl;
    if (end > pos && t[end - 1] == '\r') --end;
    l.text = {pos, end};
    const Span s = TrimSpan(t, l.text);
    const std::string_view trimmed = s.in(t);
    if (trimmed.empty()) return l;
    if (trimmed.front() == '[') {
        const size_t close = trimmed.find(']');
        if (close != std::string_view::npos) {
            l.kind = Line::Header;
            l.name = TrimSpan(t, {s.begin + 1, s.begin + close});
            return l;
        }
    }
    if (trimmed.front() == ';') return l;
    const size_t eq = trimmed.find('=');
    if (eq != std::string_view::npos && eq > 0) {
        l.kind = Line::Key;
        l.name = TrimSpan(t, {s.begin, s.begin + eq});
        l.value = TrimSpan(t, {s.begin + eq + 1, s.end});
    }
    return l;
}

size_t BodyStart(const std::string& t) {
    return t.size() >= 3 && std::memcmp(t.data(), "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
}

// Calls fn(section) for the sections of the text in order (lines before the first header
// make one without a header) until it returns false.
template <class Fn>
void WalkSections(const std::string& t, Fn fn) {
    std::optional<Model::Section> cur;
    for (size_t pos = BodyStart(t); pos < t.size();) {
        Line l = ParseLine(t, pos);
        if (l.kind == Line::Header) {
            if (cur) {
                cur->end = pos;
                if (!fn(*cur)) return;
            }
            cur.emplace();
            cur->nameBegin = l.name.begin;
            cur->nameEnd = l.name.end;
            cur->header = pos;
            cur->body = l.next;
        } else if (!cur) {
            cur.emplace();
            cur->hasHeader = false;
            cur->header = cur->body = pos;
        }
        pos = l.next;
    }
    if (cur) {
        cur->end = t.size();
        fn(*cur);
    }
}

std::shared_ptr<const Model> Parse(std::string bytes, bool indexed = true) {
    auto m = std::make_shared<Model>();
    m->text = std::move(bytes);
    m->indexed = indexed;
    if (!indexed) return m;
    const std::string& t = m->text;
    WalkSections(t, [&](const Model::Section& s) {
        m->sections.push_back(s);
        return true;
    });
    m->index.reserve(m->sections.size());
    for (size_t i = 0; i < m->sections.size(); ++i) {
        const Model::Section& s = m->sections[i];
        if (s.hasHeader) m->index.emplace(Fold(std::string_view(t).substr(s.nameBegin, s.nameEnd - s.nameBegin)), i);
    }
    return m;
}

std::string_view NameOf(const Model& m, const Model::Section& s) {
    return std::string_view(m.text).substr(s.nameBegin, s.nameEnd - s.nameBegin);
}

// Calls fn(section) for each section of the model in order until it returns false.
template <class Fn>
void ForEachSection(const Model& m, Fn fn) {
    if (!m.indexed) return WalkSections(m.text, fn);
    for (const Model::Section& s : m.sections)
        if (!fn(s)) return;
}

// The first section of that name.
std::optional<Model::Section> FindSection(const Model& m, std::wstring_view name) {
    const std::string folded = Fold(Utf8FromWide(Trim(name)));
    if (m.indexed) {
        auto it = m.index.find(folded);
        if (it == m.index.end()) return std::nullopt;
        return m.sections[it->second];
    }
    std::optional<Model::Section> found;
    WalkSections(m.text, [&](const Model::Section& s) {
        if (s.hasHeader && EqualNoCase(NameOf(m, s), folded)) found = s;
        return !found;
    });
    return found;
}

// Calls fn(line) for each line of the section's body until it returns true; that line, if any.
template <class Fn>
std::optional<Line> ScanSection(const Model& m, const Model::Section& s, Fn fn) {
    for (size_t pos = s.body; pos < s.end;) {
        Line l = ParseLine(m.text, pos);
        if (fn(l)) return l;
        pos = l.next;
    }
    return std::nullopt;
}

std::optional<Line> FindKey(const Model& m, const Model::Section& s, std::string_view key) {
    return ScanSection(m, s, [&](const Line& l) { return l.kind == Line::Key && EqualNoCase(l.name.in(m.text), key); });
}

std::string_view StripQuotes(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// The value of a key, quotes stripped; nullopt when the section or key is missing.
std::optional<std::wstring> Lookup(const Model& m, std::wstring_view section, std::wstring_view key) {
    std::optional<Model::Section> s = FindSection(m, section);
    if (!s) return std::nullopt;
    std::optional<Line> l = FindKey(m, *s, Utf8FromWide(Trim(key)));
    if (!l) return std::nullopt;
    return WideFromUtf8(StripQuotes(l->value.in(m.text)));
}

// ---- the cache of parsed files ------------------------------------------------------------

// Parsed files are kept while they are unchanged, so reading or writing key by key does not
// parse a file again for each key. Small files are compared byte for byte (an editor may
// rewrite one in place within the clock's resolution); large ones by identity and times. A
// very large file (a long play list) is not kept: its model would cost more memory than
// reading it again costs time, and many keys of it are read through a snapshot.
constexpr size_t kCompareBytesLimit = 64 * 1024;
constexpr size_t kKeepBytesLimit = 1024 * 1024;
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

Signature SigOf(const struct stat& st) { return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim}; }

struct CacheEntry {
    Signature sig;
    std::shared_ptr<const Model> model;
};

std::mutex g_cacheMutex;
// Built on first use: settings are read by other static objects before this file's own
// static initialisation has run.
std::unordered_map<std::string, CacheEntry>& Cache() {
    static std::unordered_map<std::string, CacheEntry> cache;
    return cache;
}

bool Keeps(size_t bytes) { return bytes <= kKeepBytesLimit; }

void Forget(const std::string& fs) {
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    Cache().erase(fs);
}

void Remember(const std::string& fs, const Signature& sig, std::shared_ptr<const Model> model) {
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    if (!Keeps(model->text.size())) {
        Cache().erase(fs);
        return;
    }
    if (Cache().size() >= kMaxCachedFiles && !Cache().count(fs)) Cache().erase(Cache().begin());
    Cache()[fs] = {sig, std::move(model)};
}

std::shared_ptr<const Model> Cached(const std::string& fs, const Signature& sig, const std::string* bytes) {
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    auto it = Cache().find(fs);
    if (it == Cache().end() || !(it->second.sig == sig)) return nullptr;
    if (bytes && it->second.model->text != *bytes) return nullptr;
    return it->second.model;
}

// What a model is read for: many lookups (a snapshot), or one lookup or write.
enum class Use { Many, Once };

// The current content of the file; a missing or unreadable file is empty.
std::shared_ptr<const Model> Load(const std::string& fs, Use use) {
    int fd = ::open(fs.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        if (fd >= 0) ::close(fd);
        Forget(fs);
        return std::make_shared<const Model>();
    }
    const Signature sig = SigOf(st);
    const bool small = static_cast<size_t>(st.st_size) <= kCompareBytesLimit;
    if (!small)
        if (auto model = Cached(fs, sig, nullptr)) {
            ::close(fd);
            return model;
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
    if (small)
        if (auto model = Cached(fs, sig, &bytes)) return model;
    if (!Keeps(bytes.size())) {
        Forget(fs);
        return Parse(std::move(bytes), use == Use::Many);
    }
    auto model = Parse(std::move(bytes));
    Remember(fs, sig, model);
    return model;
}

// A file's new content: pieces of its old text with at most one new piece among them, so a
// write into a long file copies no more of it in memory than the line it changes.
struct NewContent {
    struct Piece {
        bool added;  // from `added`, else from the old text
        size_t begin, end;
    };
    std::string added;
    std::vector<Piece> pieces;

    size_t Size() const {
        size_t n = 0;
        for (const Piece& p : pieces) n += p.end - p.begin;
        return n;
    }
    std::vector<std::string_view> Views(const std::string& old) const {
        std::vector<std::string_view> v;
        for (const Piece& p : pieces) v.push_back(std::string_view(p.added ? added : old).substr(p.begin, p.end - p.begin));
        return v;
    }
};

// Replaces the file (the caller holds the write lock) and keeps it parsed.
bool Store(const std::string& fs, std::string text) {
    if (!WriteFileAtomic(fs, text)) return false;
    struct stat st;
    if (!Keeps(text.size())) {
        Forget(fs);
    } else if (::stat(fs.c_str(), &st) == 0) {
        Remember(fs, SigOf(st), Parse(std::move(text)));
    }
    return true;
}

bool Store(const std::string& fs, const std::string& old, const NewContent& content) {
    const std::vector<std::string_view> views = content.Views(old);
    if (!Keeps(content.Size())) {
        if (!WriteFileAtomic(fs, views)) return false;
        Forget(fs);
        return true;
    }
    std::string text;
    text.reserve(content.Size());
    for (std::string_view v : views) text += v;
    return Store(fs, std::move(text));
}

// ---- writing ------------------------------------------------------------------------------

// A plain loop: a long play list is made of many short texts.
size_t FindLineBreak(std::wstring_view s) {
    const auto at = std::find_if(s.begin(), s.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; });
    return at == s.end() ? std::wstring_view::npos : static_cast<size_t>(at - s.begin());
}

bool HasLineBreak(std::wstring_view s) { return FindLineBreak(s) != std::wstring_view::npos; }

bool UsableSectionName(std::wstring_view s) { return !HasLineBreak(s) && s.find(L']') == std::wstring_view::npos; }

bool UsableKeyName(std::wstring_view k) {
    k = Trim(k);
    return !k.empty() && !HasLineBreak(k) && k.find(L'=') == std::wstring_view::npos && k.front() != L'[' &&
           k.front() != L';';
}

// A line break inside a value would start a new line of the file (and could forge a
// section), so it is written as a blank.
void AppendCleanValue(std::string& out, std::wstring_view v) {
    v = Trim(v);
    // ASCII, the bulk of a long play list, in one pass.
    const size_t at = out.size();
    out.resize(at + v.size());
    size_t i = 0;
    for (char* d = out.data() + at; i < v.size() && static_cast<std::uint32_t>(v[i]) < 0x80; ++i)
        d[i] = v[i] == L'\r' || v[i] == L'\n' ? ' ' : static_cast<char>(v[i]);
    out.resize(at + i);
    for (v.remove_prefix(i); !v.empty();) {
        const size_t cut = FindLineBreak(v);
        AppendUtf8(out, v.substr(0, cut));
        if (cut == std::wstring_view::npos) break;
        out += ' ';
        v.remove_prefix(cut + 1);
    }
}

std::string CleanValue(std::wstring_view v) {
    std::string r;
    AppendCleanValue(r, v);
    return r;
}

// New lines follow the file's own line breaks.
std::string_view LineBreakOf(const std::string& t) {
    const size_t nl = t.find('\n');
    return nl != std::string::npos && nl > 0 && t[nl - 1] == '\r' ? "\r\n" : "\n";
}

// Lines inserted at `pos`, with a line break first when the line before them has none.
std::string NewLines(const std::string& t, size_t pos, std::initializer_list<std::string_view> lines) {
    const std::string_view eol = LineBreakOf(t);
    std::string out;
    if (pos > BodyStart(t) && t[pos - 1] != '\n') out += eol;
    for (std::string_view l : lines) {
        out += l;
        out += eol;
    }
    return out;
}

NewContent Splice(const std::string& t, size_t pos, size_t len, std::string insert) {
    NewContent c;
    c.added = std::move(insert);
    c.pieces = {{false, 0, pos}, {true, 0, c.added.size()}, {false, pos + len, t.size()}};
    return c;
}

// The content after one profile write, or nullopt when the write changes nothing.
std::optional<NewContent> Edit(const Model& m, std::wstring_view section, LPCWSTR key, LPCWSTR value) {
    const std::string& t = m.text;
    const std::string secName = Utf8FromWide(Trim(section));
    if (!key) {
        // Every section of that name goes.
        const std::string folded = Fold(secName);
        NewContent c;
        size_t kept = 0;
        ForEachSection(m, [&](const Model::Section& s) {
            if (!s.hasHeader || Fold(NameOf(m, s)) != folded) return true;
            c.pieces.push_back({false, kept, s.header});
            kept = s.end;
            return true;
        });
        if (c.pieces.empty()) return std::nullopt;
        c.pieces.push_back({false, kept, t.size()});
        return c;
    }
    const std::string keyName = Utf8FromWide(Trim(key));
    std::optional<Model::Section> s = FindSection(m, section);
    if (!value) {
        if (!s) return std::nullopt;
        std::optional<Line> l = FindKey(m, *s, keyName);
        if (!l) return std::nullopt;
        return Splice(t, l->text.begin, l->next - l->text.begin, {});
    }
    const std::string v = CleanValue(value);
    const std::string entry = keyName + "=" + v;
    if (!s) return Splice(t, t.size(), 0, NewLines(t, t.size(), {"[" + secName + "]", entry}));
    if (std::optional<Line> l = FindKey(m, *s, keyName)) {
        if (l->value.in(t) == v) return std::nullopt;
        return Splice(t, l->value.begin, l->value.end - l->value.begin, v);
    }
    // After the section's last key, so trailing blank lines stay between sections.
    size_t at = s->body;
    ScanSection(m, *s, [&](const Line& l) {
        if (l.kind == Line::Key) at = l.next;
        return false;
    });
    return Splice(t, at, 0, NewLines(t, at, {entry}));
}

bool UsableEntry(LPCWSTR section, LPCWSTR key) {
    if (UsableSectionName(section) && (!key || UsableKeyName(key))) return true;
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
}

// Read-modify-write of one key or section under the file's write lock.
bool WriteEntryNow(const std::string& fs, LPCWSTR section, LPCWSTR key, LPCWSTR value) {
    FileWriteLock lock(fs);
    if (!lock.locked()) return false;
    std::shared_ptr<const Model> m = Load(fs, Use::Once);
    std::optional<NewContent> content = Edit(*m, section, key, value);
    return !content || Store(fs, m->text, *content);
}

bool StoreNow(const std::string& fs, std::string text) {
    FileWriteLock lock(fs);
    return lock.locked() && Store(fs, std::move(text));
}

// ---- writes on a thread of their own ------------------------------------------------------

struct QueuedWrite {
    std::string fs;
    std::uint64_t seq = 0;  // its place among all queued writes
    bool whole = false;
    std::string text;  // whole: the new content
    std::wstring section, key, value;
    bool hasKey = false, hasValue = false;
};

// One thread for the queued writes of every file: one queue keeps them in order.
class BackgroundWriter {
public:
    // What the thread uses is made first, so that it is still there while the last writes are
    // made at exit.
    BackgroundWriter() { Cache(); }
    ~BackgroundWriter() {
        {
            std::lock_guard<std::mutex> lock(m_);
            stop_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    void Queue(QueuedWrite w) {
        std::lock_guard<std::mutex> lock(m_);
        w.seq = ++lastSeq_;
        File& f = files_[w.fs];
        f.lastQueued = w.seq;
        // Whoever waits for a dropped write waits for this one, which stands for it.
        if (w.whole) std::erase_if(queue_, [&](const QueuedWrite& q) { return q.fs == w.fs; });
        queue_.push_back(std::move(w));
        if (!thread_.joinable()) {
            thread_ = std::thread([this] { Run(); });
            threadId_ = thread_.get_id();
        }
        wake_.notify_all();
    }

    // Waits for the writes of the file queued before this call; true when none of them (or of
    // those before, since the last taken result) failed. Taking the result starts afresh.
    bool Wait(const std::string& fs, bool takeResult) {
        std::unique_lock<std::mutex> lock(m_);
        // The thread itself never waits for its own queue.
        if (std::this_thread::get_id() == threadId_) return true;
        auto it = files_.find(fs);
        if (it == files_.end()) return true;
        File& f = it->second;  // entries are never removed
        const std::uint64_t target = f.lastQueued;
        done_.wait(lock, [&] { return f.lastDone >= target; });
        const bool ok = !f.failed;
        if (takeResult) f.failed = false;
        return ok;
    }

private:
    struct File {
        std::uint64_t lastQueued = 0, lastDone = 0;  // the numbers of its latest writes
        bool failed = false;
    };

    void Run() {
        // Our long-lived threads carry names of their own (the idle benchmark tells them by these).
        pthread_setname_np(pthread_self(), "mv-list-writer");
        std::unique_lock<std::mutex> lock(m_);
        for (;;) {
            wake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
            if (queue_.empty()) return;
            QueuedWrite w = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            const bool ok = w.whole ? StoreNow(w.fs, std::move(w.text))
                                    : WriteEntryNow(w.fs, w.section.c_str(), w.hasKey ? w.key.c_str() : nullptr,
                                                    w.hasValue ? w.value.c_str() : nullptr);
            lock.lock();
            File& f = files_[w.fs];
            f.lastDone = w.seq;
            f.failed = f.failed || !ok;
            done_.notify_all();
        }
    }

    std::mutex m_;
    std::condition_variable wake_, done_;
    std::deque<QueuedWrite> queue_;
    std::unordered_map<std::string, File> files_;
    std::thread thread_;
    std::thread::id threadId_;
    std::uint64_t lastSeq_ = 0;
    bool stop_ = false;
};

std::atomic<bool> g_writerMade{false};

BackgroundWriter& Writer() {
    static BackgroundWriter writer;
    g_writerMade.store(true, std::memory_order_release);
    return writer;
}

// Before a read or write of its own: the queued writes of the file come first.
void AwaitQueued(const std::string& fs) {
    if (g_writerMade.load(std::memory_order_acquire)) Writer().Wait(fs, false);
}

bool WriteEntry(std::wstring_view file, LPCWSTR section, LPCWSTR key, LPCWSTR value) {
    if (!UsableEntry(section, key)) return false;
    const std::string fs = FsPath(file);
    AwaitQueued(fs);
    return WriteEntryNow(fs, section, key, value);
}

// ---- reading ------------------------------------------------------------------------------

// What a profile read answers: a value (or default), or a NUL-separated list of names.
struct Answer {
    std::wstring text;
    bool isList = false;
};

std::shared_ptr<const Model> LoadCurrent(std::wstring_view file, Use use) {
    const std::string fs = FsPath(file);
    AwaitQueued(fs);
    return Load(fs, use);
}

Answer Query(LPCWSTR file, LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue) {
    Answer a;
    std::shared_ptr<const Model> m = file ? LoadCurrent(file, Use::Once) : std::make_shared<const Model>();
    if (!section) {
        a.isList = true;
        ForEachSection(*m, [&](const Model::Section& s) {
            if (s.hasHeader) a.text += WideFromUtf8(NameOf(*m, s)) + L'\0';
            return true;
        });
        return a;
    }
    if (!key) {
        a.isList = true;
        if (std::optional<Model::Section> s = FindSection(*m, section))
            ScanSection(*m, *s, [&](const Line& l) {
                if (l.kind == Line::Key) a.text += WideFromUtf8(l.name.in(m->text)) + L'\0';
                return false;
            });
        return a;
    }
    if (std::optional<std::wstring> v = Lookup(*m, section, key)) {
        a.text = std::move(*v);
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

UINT ReadInt(LPCWSTR file, LPCWSTR section, LPCWSTR key, INT defaultValue) {
    if (!section || !key) return static_cast<UINT>(defaultValue);
    Answer a = Query(file, section, key, L"");
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

bool ProfileText::Refuse() {
    usable_ = false;
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
}

bool ProfileText::AddSection(std::wstring_view name) {
    if (!usable_ || !UsableSectionName(name)) return Refuse();
    text_ += '[';
    AppendUtf8(text_, Trim(name));
    text_ += "]\n";
    return true;
}

ProfileKey::ProfileKey(std::wstring_view name) : usable_(UsableKeyName(name)) {
    if (usable_) utf8_ = Utf8FromWide(Trim(name));
}

bool ProfileText::StartEntry(const ProfileKey& key) {
    if (!usable_ || !key.usable()) return Refuse();
    text_ += key.utf8_;
    text_ += '=';
    return true;
}

bool ProfileText::AddEntry(const ProfileKey& key, std::wstring_view value) {
    if (!StartEntry(key)) return false;
    AppendCleanValue(text_, value);
    text_ += '\n';
    return true;
}

bool ProfileText::AddEntry(const ProfileKey& key, long long value) {
    if (!StartEntry(key)) return false;
    char digits[24];
    text_.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    text_ += '\n';
    return true;
}

bool ProfileText::AddEntry(std::wstring_view key, std::wstring_view value) { return AddEntry(ProfileKey(key), value); }

bool ProfileText::AddEntry(std::wstring_view key, long long value) { return AddEntry(ProfileKey(key), value); }

bool WriteProfileFile(std::wstring_view file, const std::vector<ProfileSection>& sections) {
    ProfileText text;
    for (const auto& ps : sections) {
        text.AddSection(ps.name);
        for (const auto& [k, v] : ps.entries) text.AddEntry(k, v);
    }
    return WriteProfileFile(file, std::move(text));
}

bool WriteProfileFile(std::wstring_view file, ProfileText text) {
    if (!text.usable()) return false;
    const std::string fs = FsPath(file);
    AwaitQueued(fs);
    return StoreNow(fs, text.TakeBytes());
}

bool QueueProfileString(std::wstring_view file, LPCWSTR section, LPCWSTR key, LPCWSTR value) {
    if (file.empty() || !section) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!UsableEntry(section, key)) return false;
    QueuedWrite w;
    w.fs = FsPath(file);
    w.section = section;
    w.hasKey = key != nullptr;
    w.hasValue = value != nullptr;
    if (key) w.key = key;
    if (value) w.value = value;
    Writer().Queue(std::move(w));
    return true;
}

bool QueueProfileFile(std::wstring_view file, ProfileText text) {
    if (file.empty() || !text.usable()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    QueuedWrite w;
    w.fs = FsPath(file);
    w.whole = true;
    w.text = text.TakeBytes();
    Writer().Queue(std::move(w));
    return true;
}

bool FlushProfileWrites(std::wstring_view file) {
    if (!g_writerMade.load(std::memory_order_acquire)) return true;
    return Writer().Wait(FsPath(file), true);
}

bool ReadProfileString(std::wstring_view file, std::wstring_view section, std::wstring_view key,
                       std::wstring& value) {
    std::optional<std::wstring> v = Lookup(*LoadCurrent(file, Use::Once), section, key);
    if (!v) return false;
    value = std::move(*v);
    return true;
}

ProfileSnapshot::ProfileSnapshot(std::wstring_view file) : model_(LoadCurrent(file, Use::Many)) {}

ProfileSnapshot::~ProfileSnapshot() = default;

bool ProfileSnapshot::ReadString(std::wstring_view section, std::wstring_view key, std::wstring& value) const {
    std::optional<std::wstring> v = Lookup(*model_, section, key);
    if (!v) return false;
    value = std::move(*v);
    return true;
}

std::wstring ProfileSnapshot::ReadString(std::wstring_view section, std::wstring_view key,
                                         std::wstring_view defaultValue) const {
    std::optional<std::wstring> v = Lookup(*model_, section, key);
    return v ? std::move(*v) : std::wstring(defaultValue);
}

INT ProfileSnapshot::ReadInt(std::wstring_view section, std::wstring_view key, INT defaultValue) const {
    std::optional<std::wstring> v = Lookup(*model_, section, key);
    return v ? ParseProfileInt(*v, defaultValue) : defaultValue;
}

namespace {

void ReadSection(const Model& m, const Model::Section& s, ProfileSectionRead& read) {
    read.hasHeader = s.hasHeader;
    read.name = s.hasHeader ? WideFromUtf8(NameOf(m, s)) : std::wstring();
    read.entries.clear();
    read.strayLines = 0;
    ScanSection(m, s, [&](const Line& l) {
        if (l.kind == Line::Key) {
            read.entries.emplace_back(WideFromUtf8(l.name.in(m.text)), WideFromUtf8(StripQuotes(l.value.in(m.text))));
        } else {
            const std::string_view t = TrimSpan(m.text, l.text).in(m.text);
            if (!t.empty() && t.front() != ';') ++read.strayLines;
        }
        return false;
    });
}

}  // namespace

void ProfileSnapshot::ForEachSection(const std::function<void(const ProfileSectionRead&)>& fn) const {
    const Model& m = *model_;
    ProfileSectionRead read;
    platform::ForEachSection(m, [&](const Model::Section& s) {
        ReadSection(m, s, read);
        fn(read);
        return true;
    });
}

void ProfileSnapshot::ForEachSectionWith(std::wstring_view key, std::wstring_view value,
                                         const std::function<void(const ProfileSectionRead&)>& fn) const {
    const Model& m = *model_;
    const std::string k = Utf8FromWide(Trim(key)), v = Utf8FromWide(value);
    ProfileSectionRead read;
    // Only the sections that match are made into wide text: the rest is compared as bytes.
    platform::ForEachSection(m, [&](const Model::Section& s) {
        std::optional<Line> l = FindKey(m, s, k);
        if (l && StripQuotes(l->value.in(m.text)) == v) {
            ReadSection(m, s, read);
            fn(read);
        }
        return true;
    });
}

std::wstring FoldProfileName(std::wstring_view name) { return WideFromUtf8(Fold(Utf8FromWide(name))); }

const std::string& ProfileSnapshot::Bytes() const { return model_->text; }

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
