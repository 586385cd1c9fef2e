// The registry over SQLite. One table of keys (a tree by parent id) and one of values; names keep
// their case and are matched through their case-folded form. Each call is one statement or one
// IMMEDIATE transaction, so several processes can write at once (WAL, busy timeout) and a crash
// never leaves half a tree. Handles are per process and refer to a key by its id, which is never
// reused, so a handle to a deleted key reports ERROR_KEY_DELETED.
#include "platform/registry/registry.h"

#include <glib.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/text/codepage.h"
#include "registry_internal.h"

namespace platform::registry::detail {

std::string DefaultDatabasePath() {
    if (const char* env = std::getenv("MORVANE_REGISTRY_DB"); env && *env) return env;
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::filesystem::path(home) / ".local" / "share";
    } else {
        base = "/tmp";
    }
    return (base / "morvane" / "registry.db").string();
}

namespace {

constexpr sqlite3_int64 kRootIds[] = {1, 2, 3};
constexpr const char* kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"};
constexpr size_t kMaxKeyNameChars = 255;
constexpr size_t kMaxValueNameChars = 16383;
constexpr int kBusyTimeoutMs = 15000;
constexpr DWORD kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | 0x00010000L;

struct KeyHandle {
    sqlite3_int64 id = 0;
    REGSAM sam = 0;
    std::uint64_t generation = 0;
};

LSTATUS FromSqlite(int rc) {
    switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW: return ERROR_SUCCESS;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return ERROR_ACCESS_DENIED;
    case SQLITE_NOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return ERROR_TIMEOUT;
    default: return ERROR_REGISTRY_IO_FAILED;
    }
}

// A prepared statement reset on every use; the store caches them by their text.
class Stmt {
public:
    explicit Stmt(sqlite3_stmt* s) : s_(s) {}
    ~Stmt() {
        if (s_) {
            sqlite3_reset(s_);
            sqlite3_clear_bindings(s_);
        }
    }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    bool ok() const { return s_ != nullptr; }
    Stmt& bind(int i, sqlite3_int64 v) { sqlite3_bind_int64(s_, i, v); return *this; }
    Stmt& bind(int i, const std::string& v) {
        sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& bindBlob(int i, const std::string& v) {
        sqlite3_bind_blob(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    int step() { return sqlite3_step(s_); }
    sqlite3_int64 i64(int c) const { return sqlite3_column_int64(s_, c); }
    std::string text(int c) const {
        auto p = reinterpret_cast<const char*>(sqlite3_column_text(s_, c));
        return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(s_, c))) : std::string();
    }
    std::string blob(int c) const {
        auto p = static_cast<const char*>(sqlite3_column_blob(s_, c));
        return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(s_, c))) : std::string();
    }

private:
    sqlite3_stmt* s_;
};

class Store {
public:
    std::mutex mu;

    // Opens (or re-opens, when the configured path changed) the database. Caller holds mu.
    LSTATUS Ensure() {
        std::string want = DefaultDatabasePath();
        if (db_ && want == path_) return ERROR_SUCCESS;
        Close();
        return Open(want);
    }

    bool readOnly() const { return readOnly_; }
    std::uint64_t generation() const { return generation_; }

    Stmt Prep(const char* sql) {
        auto it = stmts_.find(sql);
        if (it != stmts_.end()) return Stmt(it->second);
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) != SQLITE_OK) return Stmt(nullptr);
        stmts_.emplace(sql, s);
        return Stmt(s);
    }

    int Exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }

    HKEY NewHandle(const KeyHandle& k) {
        nextHandle_ += 8;
        handles_[nextHandle_] = k;
        return reinterpret_cast<HKEY>(nextHandle_);
    }
    bool DropHandle(HKEY h) { return handles_.erase(reinterpret_cast<ULONG_PTR>(h)) > 0; }
    const KeyHandle* FindHandle(HKEY h) const {
        auto it = handles_.find(reinterpret_cast<ULONG_PTR>(h));
        return it == handles_.end() ? nullptr : &it->second;
    }

private:
    LSTATUS Open(const std::string& path) {
        std::error_code ec;
        auto parent = std::filesystem::path(path).parent_path();
        if (!parent.empty() && !std::filesystem::exists(parent, ec)) {
            std::filesystem::create_directories(parent, ec);
            ::chmod(parent.c_str(), 0700);
        }
        int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc != SQLITE_OK) {
            if (db_) sqlite3_close(db_);
            db_ = nullptr;
            rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
            if (rc != SQLITE_OK) {
                if (db_) sqlite3_close(db_);
                db_ = nullptr;
                return FromSqlite(rc);
            }
        }
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
        readOnly_ = sqlite3_db_readonly(db_, "main") == 1;
        if (!readOnly_) {
            // Switching to WAL needs a moment without other writers; the busy handler covers it.
            rc = Exec("PRAGMA journal_mode=WAL");
            if (rc == SQLITE_OK) rc = Exec("PRAGMA synchronous=NORMAL");
            if (rc == SQLITE_OK) rc = Exec("BEGIN IMMEDIATE");
            if (rc == SQLITE_OK) {
                rc = Exec(
                    "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY AUTOINCREMENT,"
                    " parent INTEGER NOT NULL, name TEXT NOT NULL, fold TEXT NOT NULL, UNIQUE(parent, fold));"
                    "CREATE TABLE IF NOT EXISTS vals(id INTEGER PRIMARY KEY AUTOINCREMENT,"
                    " key INTEGER NOT NULL, name TEXT NOT NULL, fold TEXT NOT NULL,"
                    " type INTEGER NOT NULL, data BLOB NOT NULL, UNIQUE(key, fold));"
                    "INSERT OR IGNORE INTO keys(id, parent, name, fold) VALUES"
                    " (1, 0, 'HKEY_CLASSES_ROOT', 'hkey_classes_root'),"
                    " (2, 0, 'HKEY_CURRENT_USER', 'hkey_current_user'),"
                    " (3, 0, 'HKEY_LOCAL_MACHINE', 'hkey_local_machine');");
                rc = Exec(rc == SQLITE_OK ? "COMMIT" : "ROLLBACK") == SQLITE_OK ? rc : SQLITE_ERROR;
            }
            if (rc != SQLITE_OK) {
                LSTATUS err = FromSqlite(rc);
                Close();
                return err;
            }
        }
        path_ = path;
        ++generation_;
        return ERROR_SUCCESS;
    }

    void Close() {
        for (auto& [sql, s] : stmts_) sqlite3_finalize(s);
        stmts_.clear();
        if (db_) sqlite3_close(db_);
        db_ = nullptr;
        path_.clear();
        handles_.clear();
    }

    sqlite3* db_ = nullptr;
    std::string path_;
    bool readOnly_ = false;
    std::uint64_t generation_ = 0;
    std::map<std::string, sqlite3_stmt*> stmts_;
    std::unordered_map<ULONG_PTR, KeyHandle> handles_;
    ULONG_PTR nextHandle_ = 0x10000;
};

// Never destroyed: handles may be closed from other static destructors at exit.
Store& TheStore() {
    static Store* s = new Store;
    return *s;
}

// A write transaction: BEGIN IMMEDIATE takes the write lock up front, so two processes never
// deadlock upgrading read locks.
class WriteTxn {
public:
    explicit WriteTxn(Store& s) : s_(s) { rc_ = s_.Exec("BEGIN IMMEDIATE"); }
    ~WriteTxn() {
        if (rc_ == SQLITE_OK && !done_) s_.Exec("ROLLBACK");
    }
    LSTATUS begun() const { return FromSqlite(rc_); }
    LSTATUS Commit() {
        done_ = true;
        int rc = s_.Exec("COMMIT");
        if (rc != SQLITE_OK) s_.Exec("ROLLBACK");
        return FromSqlite(rc);
    }

private:
    Store& s_;
    int rc_;
    bool done_ = false;
};

std::string Utf8(const std::wstring& w) { return platform::Utf8FromWide(w); }

std::wstring Wide(const std::string& s) { return platform::WideFromUtf8(s); }

std::string Fold(const std::string& utf8) {
    gchar* p = g_utf8_casefold(utf8.data(), static_cast<gssize>(utf8.size()));
    std::string r(p ? p : "");
    g_free(p);
    return r;
}

int RootIndex(HKEY h) {
    if (h == HKEY_CLASSES_ROOT) return 0;
    if (h == HKEY_CURRENT_USER) return 1;
    if (h == HKEY_LOCAL_MACHINE) return 2;
    return -1;
}

bool KeyExists(Store& s, sqlite3_int64 id) {
    Stmt q = s.Prep("SELECT 1 FROM keys WHERE id = ?");
    return q.ok() && q.bind(1, id).step() == SQLITE_ROW;
}

LSTATUS Resolve(Store& s, HKEY h, KeyHandle* out) {
    if (int r = RootIndex(h); r >= 0) {
        *out = {kRootIds[r], static_cast<REGSAM>(KEY_ALL_ACCESS), s.generation()};
        return ERROR_SUCCESS;
    }
    const KeyHandle* k = s.FindHandle(h);
    if (!k || k->generation != s.generation()) return ERROR_INVALID_HANDLE;
    if (!KeyExists(s, k->id)) return ERROR_KEY_DELETED;
    *out = *k;
    return ERROR_SUCCESS;
}

// Splits a subkey path into its names. One trailing "\" is accepted; an empty name elsewhere is not.
LSTATUS SplitPath(const std::wstring& path, std::vector<std::string>* names) {
    names->clear();
    if (path.empty()) return ERROR_SUCCESS;
    if (path.front() == L'\\') return ERROR_BAD_PATHNAME;
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos) end = path.size();
        if (end == start) return ERROR_BAD_PATHNAME;
        if (end - start > kMaxKeyNameChars) return ERROR_INVALID_PARAMETER;
        names->push_back(Utf8(path.substr(start, end - start)));
        start = end + 1;
    }
    return ERROR_SUCCESS;
}

LSTATUS FindChild(Store& s, sqlite3_int64 parent, const std::string& name, sqlite3_int64* out) {
    Stmt q = s.Prep("SELECT id FROM keys WHERE parent = ? AND fold = ?");
    if (!q.ok()) return ERROR_REGISTRY_IO_FAILED;
    int rc = q.bind(1, parent).bind(2, Fold(name)).step();
    if (rc == SQLITE_ROW) {
        *out = q.i64(0);
        return ERROR_SUCCESS;
    }
    return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : FromSqlite(rc);
}

LSTATUS Walk(Store& s, sqlite3_int64 from, const std::vector<std::string>& names, sqlite3_int64* out) {
    sqlite3_int64 id = from;
    for (const auto& n : names) {
        if (LSTATUS e = FindChild(s, id, n, &id); e != ERROR_SUCCESS) return e;
    }
    *out = id;
    return ERROR_SUCCESS;
}

bool HasSubkeys(Store& s, sqlite3_int64 id) {
    Stmt q = s.Prep("SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
    return q.ok() && q.bind(1, id).step() == SQLITE_ROW;
}

bool IsRootId(sqlite3_int64 id) { return id >= kRootIds[0] && id <= kRootIds[2]; }

LSTATUS ValueName(const std::wstring& name, std::string* fold, std::string* utf8) {
    if (name.size() > kMaxValueNameChars) return ERROR_INVALID_PARAMETER;
    *utf8 = Utf8(name);
    *fold = Fold(*utf8);
    return ERROR_SUCCESS;
}

// Deletes everything below the key `id` and its values; the key itself too when `withSelf`.
LSTATUS DeleteBelow(Store& s, sqlite3_int64 id, bool withSelf) {
    const char* vals =
        "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN sub ON k.parent = sub.id)"
        " DELETE FROM vals WHERE key IN (SELECT id FROM sub)";
    const char* keys =
        "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN sub ON k.parent = sub.id)"
        " DELETE FROM keys WHERE id IN (SELECT id FROM sub WHERE ?2 OR id <> ?1)";
    for (const char* sql : {vals, keys}) {
        Stmt q = s.Prep(sql);
        if (!q.ok()) return ERROR_REGISTRY_IO_FAILED;
        int rc = q.bind(1, id).bind(2, withSelf ? 1 : 0).step();
        if (rc != SQLITE_DONE) return FromSqlite(rc);
    }
    return ERROR_SUCCESS;
}

void DumpKey(Store& s, sqlite3_int64 id, const std::string& fullName, std::string* out) {
    *out += "[" + fullName + "]\n";
    {
        Stmt q = s.Prep("SELECT name, type, data FROM vals WHERE key = ? ORDER BY id");
        if (!q.ok()) return;
        q.bind(1, id);
        while (q.step() == SQLITE_ROW) {
            std::string name = q.text(0);
            auto type = static_cast<DWORD>(q.i64(1));
            std::string data = q.blob(2);
            *out += name.empty() ? std::string("@") : "\"" + name + "\"";
            *out += " = ";
            if (type == REG_SZ || type == REG_EXPAND_SZ) {
                std::wstring w(data.size() / sizeof(wchar_t), L'\0');
                std::memcpy(w.data(), data.data(), w.size() * sizeof(wchar_t));
                bool terminated = !w.empty() && w.back() == L'\0';
                if (terminated) w.pop_back();
                *out += (type == REG_SZ ? "REG_SZ \"" : "REG_EXPAND_SZ \"") + Utf8(w) + "\"";
                if (!terminated) *out += " (no NUL)";
                if (data.size() % sizeof(wchar_t)) *out += " (+" + std::to_string(data.size() % sizeof(wchar_t)) + " bytes)";
            } else if (type == REG_DWORD && data.size() == 4) {
                DWORD v = 0;
                std::memcpy(&v, data.data(), 4);
                char buf[16];
                std::snprintf(buf, sizeof buf, "0x%08x", v);
                *out += std::string("REG_DWORD ") + buf;
            } else {
                *out += "type " + std::to_string(type) + " (" + std::to_string(data.size()) + " bytes)";
                for (unsigned char c : data) {
                    char buf[4];
                    std::snprintf(buf, sizeof buf, " %02x", c);
                    *out += buf;
                }
            }
            *out += "\n";
        }
    }
    std::vector<std::pair<sqlite3_int64, std::string>> children;
    {
        Stmt q = s.Prep("SELECT id, name FROM keys WHERE parent = ? ORDER BY fold");
        if (!q.ok()) return;
        q.bind(1, id);
        while (q.step() == SQLITE_ROW) children.emplace_back(q.i64(0), q.text(1));
    }
    for (auto& [cid, cname] : children) DumpKey(s, cid, fullName + "\\" + cname, out);
}

// Runs op(store, key) under the lock, with the database open and hKey resolved to a live key
// whose handle holds the rights `need`.
template <class Op>
LSTATUS OnKey(HKEY hKey, REGSAM need, Op op) {
    Store& s = TheStore();
    std::lock_guard lock(s.mu);
    if (LSTATUS e = s.Ensure(); e != ERROR_SUCCESS) return e;
    KeyHandle k;
    if (LSTATUS e = Resolve(s, hKey, &k); e != ERROR_SUCCESS) return e;
    if ((k.sam & need) != need) return ERROR_ACCESS_DENIED;
    return op(s, k);
}

}  // namespace

LSTATUS CreateKey(HKEY hKey, const std::wstring& subKey, REGSAM sam, PHKEY result, LPDWORD disposition) {
    if (!result) return ERROR_INVALID_PARAMETER;
    return OnKey(hKey, 0, [&](Store& s, const KeyHandle& parent) -> LSTATUS {
        std::vector<std::string> names;
        if (LSTATUS e = SplitPath(subKey, &names); e != ERROR_SUCCESS) return e;
        sqlite3_int64 id = parent.id;
        DWORD disp = REG_OPENED_EXISTING_KEY;
        if (Walk(s, parent.id, names, &id) != ERROR_SUCCESS) {
            if (s.readOnly()) return ERROR_ACCESS_DENIED;
            if (!(parent.sam & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
            WriteTxn txn(s);
            if (LSTATUS e = txn.begun(); e != ERROR_SUCCESS) return e;
            id = parent.id;
            for (const auto& n : names) {
                sqlite3_int64 child = 0;
                LSTATUS e = FindChild(s, id, n, &child);
                if (e == ERROR_FILE_NOT_FOUND) {
                    Stmt ins = s.Prep("INSERT INTO keys(parent, name, fold) VALUES(?, ?, ?)");
                    if (!ins.ok()) return ERROR_REGISTRY_IO_FAILED;
                    int rc = ins.bind(1, id).bind(2, n).bind(3, Fold(n)).step();
                    if (rc != SQLITE_DONE) return FromSqlite(rc);
                    Stmt last = s.Prep("SELECT last_insert_rowid()");
                    if (!last.ok() || last.step() != SQLITE_ROW) return ERROR_REGISTRY_IO_FAILED;
                    child = last.i64(0);
                    disp = REG_CREATED_NEW_KEY;
                } else if (e != ERROR_SUCCESS) {
                    return e;
                }
                id = child;
            }
            if (LSTATUS e = txn.Commit(); e != ERROR_SUCCESS) return e;
        } else if (s.readOnly() && (sam & kWriteRights)) {
            return ERROR_ACCESS_DENIED;
        }
        *result = s.NewHandle({id, sam, s.generation()});
        if (disposition) *disposition = disp;
        return ERROR_SUCCESS;
    });
}

LSTATUS OpenKey(HKEY hKey, const std::wstring& subKey, REGSAM sam, PHKEY result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    return OnKey(hKey, 0, [&](Store& s, const KeyHandle& parent) -> LSTATUS {
        std::vector<std::string> names;
        if (LSTATUS e = SplitPath(subKey, &names); e != ERROR_SUCCESS) return e;
        sqlite3_int64 id = 0;
        if (LSTATUS e = Walk(s, parent.id, names, &id); e != ERROR_SUCCESS) return e;
        if (s.readOnly() && (sam & kWriteRights)) return ERROR_ACCESS_DENIED;
        *result = s.NewHandle({id, sam, s.generation()});
        return ERROR_SUCCESS;
    });
}

LSTATUS CloseKey(HKEY hKey) {
    if (RootIndex(hKey) >= 0) return ERROR_SUCCESS;
    Store& s = TheStore();
    std::lock_guard lock(s.mu);
    return s.DropHandle(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS GetValue(HKEY hKey, const std::wstring& name, DWORD* type, std::string* data) {
    return OnKey(hKey, KEY_QUERY_VALUE, [&](Store& s, const KeyHandle& k) -> LSTATUS {
        std::string fold, utf8;
        if (LSTATUS e = ValueName(name, &fold, &utf8); e != ERROR_SUCCESS) return e;
        Stmt q = s.Prep("SELECT type, data FROM vals WHERE key = ? AND fold = ?");
        if (!q.ok()) return ERROR_REGISTRY_IO_FAILED;
        int rc = q.bind(1, k.id).bind(2, fold).step();
        if (rc == SQLITE_DONE) return ERROR_FILE_NOT_FOUND;
        if (rc != SQLITE_ROW) return FromSqlite(rc);
        *type = static_cast<DWORD>(q.i64(0));
        *data = q.blob(1);
        return ERROR_SUCCESS;
    });
}

LSTATUS SetValue(HKEY hKey, const std::wstring& name, DWORD type, const std::string& data) {
    return OnKey(hKey, KEY_SET_VALUE, [&](Store& s, const KeyHandle& k) -> LSTATUS {
        if (s.readOnly()) return ERROR_ACCESS_DENIED;
        std::string fold, utf8;
        if (LSTATUS e = ValueName(name, &fold, &utf8); e != ERROR_SUCCESS) return e;
        // One statement, but under IMMEDIATE so a concurrent delete of the key cannot slip between.
        WriteTxn txn(s);
        if (LSTATUS e = txn.begun(); e != ERROR_SUCCESS) return e;
        if (!KeyExists(s, k.id)) return ERROR_KEY_DELETED;
        Stmt q = s.Prep(
            "INSERT INTO vals(key, name, fold, type, data) VALUES(?, ?, ?, ?, ?)"
            " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
        if (!q.ok()) return ERROR_REGISTRY_IO_FAILED;
        int rc = q.bind(1, k.id).bind(2, utf8).bind(3, fold).bind(4, static_cast<sqlite3_int64>(type)).bindBlob(5, data).step();
        if (rc != SQLITE_DONE) return FromSqlite(rc);
        return txn.Commit();
    });
}

LSTATUS DeleteValue(HKEY hKey, const std::wstring& name) {
    return OnKey(hKey, KEY_SET_VALUE, [&](Store& s, const KeyHandle& k) -> LSTATUS {
        if (s.readOnly()) return ERROR_ACCESS_DENIED;
        std::string fold, utf8;
        if (LSTATUS e = ValueName(name, &fold, &utf8); e != ERROR_SUCCESS) return e;
        Stmt q = s.Prep("DELETE FROM vals WHERE key = ? AND fold = ?");
        if (!q.ok()) return ERROR_REGISTRY_IO_FAILED;
        int rc = q.bind(1, k.id).bind(2, fold).step();
        if (rc != SQLITE_DONE) return FromSqlite(rc);
        Stmt c = s.Prep("SELECT changes()");
        if (!c.ok() || c.step() != SQLITE_ROW) return ERROR_REGISTRY_IO_FAILED;
        return c.i64(0) > 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

LSTATUS DeleteKey(HKEY hKey, const std::wstring& subKey, bool tree) {
    return OnKey(hKey, tree ? KEY_ENUMERATE_SUB_KEYS : 0, [&](Store& s, const KeyHandle& k) -> LSTATUS {
        std::vector<std::string> names;
        if (LSTATUS e = SplitPath(subKey, &names); e != ERROR_SUCCESS) return e;
        if (s.readOnly()) return ERROR_ACCESS_DENIED;
        WriteTxn txn(s);
        if (LSTATUS e = txn.begun(); e != ERROR_SUCCESS) return e;
        sqlite3_int64 id = 0;
        if (LSTATUS e = Walk(s, k.id, names, &id); e != ERROR_SUCCESS) return e;
        // A tree delete without a subkey empties the key; a plain delete never removes a root.
        bool withSelf = !tree || !names.empty();
        if (withSelf && IsRootId(id)) return ERROR_ACCESS_DENIED;
        if (!tree && HasSubkeys(s, id)) return ERROR_KEY_HAS_CHILDREN;
        if (LSTATUS e = DeleteBelow(s, id, withSelf); e != ERROR_SUCCESS) return e;
        return txn.Commit();
    });
}

LSTATUS EnumKey(HKEY hKey, DWORD index, std::wstring* name) {
    return OnKey(hKey, KEY_ENUMERATE_SUB_KEYS, [&](Store& s, const KeyHandle& k) -> LSTATUS {
        Stmt q = s.Prep("SELECT name FROM keys WHERE parent = ? ORDER BY fold LIMIT 1 OFFSET ?");
        if (!q.ok()) return ERROR_REGISTRY_IO_FAILED;
        int rc = q.bind(1, k.id).bind(2, static_cast<sqlite3_int64>(index)).step();
        if (rc == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
        if (rc != SQLITE_ROW) return FromSqlite(rc);
        *name = Wide(q.text(0));
        return ERROR_SUCCESS;
    });
}

LSTATUS EnumValue(HKEY hKey, DWORD index, std::wstring* name, DWORD* type, std::string* data) {
    return OnKey(hKey, KEY_QUERY_VALUE, [&](Store& s, const KeyHandle& k) -> LSTATUS {
        Stmt q = s.Prep("SELECT name, type, data FROM vals WHERE key = ? ORDER BY id LIMIT 1 OFFSET ?");
        if (!q.ok()) return ERROR_REGISTRY_IO_FAILED;
        int rc = q.bind(1, k.id).bind(2, static_cast<sqlite3_int64>(index)).step();
        if (rc == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
        if (rc != SQLITE_ROW) return FromSqlite(rc);
        *name = Wide(q.text(0));
        *type = static_cast<DWORD>(q.i64(1));
        *data = q.blob(2);
        return ERROR_SUCCESS;
    });
}

LSTATUS CopyOut(const std::string& bytes, LPBYTE data, LPDWORD cbData) {
    auto size = static_cast<DWORD>(bytes.size());
    if (data) {
        if (*cbData < size) {
            *cbData = size;
            return ERROR_MORE_DATA;
        }
        if (size) std::memcpy(data, bytes.data(), size);
    }
    if (cbData) *cbData = size;
    return ERROR_SUCCESS;
}

}  // namespace platform::registry::detail

namespace platform::registry {

std::string DatabasePath() { return detail::DefaultDatabasePath(); }

std::string DumpTree(HKEY root, const std::wstring& path) {
    using namespace detail;
    Store& s = TheStore();
    std::lock_guard lock(s.mu);
    if (s.Ensure() != ERROR_SUCCESS) return {};
    int r = RootIndex(root);
    if (r < 0) return {};
    std::vector<std::string> names;
    if (SplitPath(path, &names) != ERROR_SUCCESS) return {};
    // Show the names as stored, not as asked.
    sqlite3_int64 id = kRootIds[r];
    std::string full = kRootNames[r];
    for (const auto& n : names) {
        if (FindChild(s, id, n, &id) != ERROR_SUCCESS) return {};
        Stmt q = s.Prep("SELECT name FROM keys WHERE id = ?");
        if (!q.ok() || q.bind(1, id).step() != SQLITE_ROW) return {};
        full += "\\" + q.text(0);
    }
    std::string out;
    DumpKey(s, id, full, &out);
    return out;
}

}  // namespace platform::registry
