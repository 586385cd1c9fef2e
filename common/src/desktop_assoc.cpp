#include "common/desktop_assoc.h"

#include <gio/gio.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <system_error>

#include "common/assoc_extensions.h"
#include "common/convert.h"
#include "common/error_log.h"
#include "platform/text/codepage.h"
#include "platform/kernel/files.h"

namespace fs = std::filesystem;

namespace {

const char kDefaultGroup[] = "Default Applications";
const char kAddedGroup[] = "Added Associations";
const char kRemovedGroup[] = "Removed Associations";

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// An XDG base folder: the variable when it holds an absolute path, else $HOME + fallback.
std::string BaseFolder(const char* variable, const char* fallback) {
    std::string v = Env(variable);
    if (!v.empty() && v[0] == '/') return v;
    return Env("HOME") + fallback;
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

void LogWarning(const std::string& text) { g_ErrorLog.Warning(L"%s", platform::WideFromUtf8(text).c_str()); }
void LogError(const std::string& text) { g_ErrorLog.Error(L"%s", platform::WideFromUtf8(text).c_str()); }

// ---- the shared MIME database -------------------------------------------------------------

struct Glob {
    std::string type;
    std::string ext;  // of a plain "*.<ext>" glob, lower case unless caseSensitive
    bool caseSensitive = false;
};

// The plain extension globs of every globs2 file, the most important folder first; a type
// marked "__NOGLOBS__" in a folder loses the globs of the folders after it.
std::vector<Glob> LoadGlobs() {
    std::vector<std::string> folders{BaseFolder("XDG_DATA_HOME", "/.local/share")};
    std::string dirs = Env("XDG_DATA_DIRS");
    if (dirs.empty()) dirs = "/usr/local/share:/usr/share";
    std::stringstream ss(dirs);
    for (std::string d; std::getline(ss, d, ':');)
        if (!d.empty()) folders.push_back(d);

    std::vector<Glob> globs;
    std::set<std::string> blocked;
    for (const std::string& folder : folders) {
        std::ifstream in(folder + "/mime/globs2");
        std::set<std::string> blockedHere;
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || line[0] == '#') continue;
            // weight:type:glob[:flags[:...]]
            size_t a = line.find(':'), b = a == std::string::npos ? a : line.find(':', a + 1);
            if (b == std::string::npos) continue;
            std::string type = line.substr(a + 1, b - a - 1);
            size_t c = line.find(':', b + 1);
            std::string glob = line.substr(b + 1, c == std::string::npos ? std::string::npos : c - b - 1);
            std::string flags = c == std::string::npos ? "" : line.substr(c + 1);
            if (glob == "__NOGLOBS__") {
                blockedHere.insert(type);
                continue;
            }
            if (blocked.count(type) || glob.size() < 3 || glob.compare(0, 2, "*.") != 0) continue;
            std::string ext = glob.substr(2);
            if (ext.find_first_of("*?[") != std::string::npos) continue;
            bool cs = flags.find("cs") != std::string::npos;
            globs.push_back({type, cs ? ext : Lower(ext), cs});
        }
        blocked.insert(blockedHere.begin(), blockedHere.end());
    }
    return globs;
}

bool GlobMatches(const Glob& g, const std::string& ext) { return g.caseSensitive ? g.ext == ext : g.ext == Lower(ext); }

// A type the player can open: audio or video by its name, or filed under the audio or video
// icon by the database (RealMedia, Flash, SMIL).
bool IsMediaType(const std::string& type) {
    if (type.rfind("audio/", 0) == 0 || type.rfind("video/", 0) == 0) return true;
    char* icon = g_content_type_get_generic_icon_name(type.c_str());
    bool media = icon && (std::string(icon) == "audio-x-generic" || std::string(icon) == "video-x-generic");
    g_free(icon);
    return media;
}

std::vector<std::string> MediaTypesIn(const std::vector<Glob>& globs, const std::string& ext) {
    std::vector<std::string> types;
    for (const Glob& g : globs) {
        if (GlobMatches(g, ext) && std::find(types.begin(), types.end(), g.type) == types.end() && IsMediaType(g.type))
            types.push_back(g.type);
    }
    return types;
}

// ---- key files, edited line by line -------------------------------------------------------

// A key file kept as its lines, so that an edit changes only the lines it means to.
class KeyFileLines {
public:
    // False, with the reason, for bytes that are no key file: nothing is then written.
    bool Parse(const std::string& bytes, std::string& why) {
        if (bytes.find('\0') != std::string::npos || !g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), nullptr)) {
            why = "it is not UTF-8 text";
            return false;
        }
        std::stringstream ss(bytes);
        int number = 0;
        for (std::string line; std::getline(ss, line);) {
            ++number;
            std::string t = Trim(line);
            bool ok = t.empty() || t[0] == '#' || (t.front() == '[' && t.back() == ']' && t.size() > 2) ||
                      (t.find('=') != std::string::npos && t.find('=') > 0 && t[0] != '[');
            if (!ok) {
                why = "line " + std::to_string(number) + " is neither a group, a key nor a comment";
                return false;
            }
            lines_.push_back(line);
        }
        lastLineOpen_ = !bytes.empty() && bytes.back() != '\n';
        return true;
    }
    // A last line that had no newline keeps going without one.
    std::string Text() const {
        std::string out;
        for (const std::string& l : lines_) out += l + "\n";
        if (lastLineOpen_ && !out.empty()) out.pop_back();
        return out;
    }

    bool Has(const std::string& group, const std::string& key) const { return Find(group, key) >= 0; }
    std::string Get(const std::string& group, const std::string& key) const {
        long i = Find(group, key);
        if (i < 0) return "";
        const std::string& l = lines_[static_cast<size_t>(i)];
        return Trim(l.substr(l.find('=') + 1));
    }
    void Set(const std::string& group, const std::string& key, const std::string& value) {
        const std::string line = key + "=" + value;
        long i = Find(group, key);
        if (i >= 0) {
            lines_[static_cast<size_t>(i)] = line;
            return;
        }
        long header = Header(group);
        if (header < 0) {
            if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.push_back("");
            lines_.push_back("[" + group + "]");
            lines_.push_back(line);
            return;
        }
        // After the group's last key, so that comments and blank lines before the next group stay there.
        size_t at = static_cast<size_t>(header) + 1;
        for (size_t j = at; j < lines_.size() && !IsHeader(lines_[j]); ++j)
            if (IsKey(lines_[j])) at = j + 1;
        lines_.insert(lines_.begin() + static_cast<long>(at), line);
    }
    void Erase(const std::string& group, const std::string& key) {
        long i = Find(group, key);
        if (i >= 0) lines_.erase(lines_.begin() + i);
    }

private:
    static std::string Trim(const std::string& s) {
        size_t a = s.find_first_not_of(" \t\r"), b = s.find_last_not_of(" \t\r");
        return a == std::string::npos ? "" : s.substr(a, b - a + 1);
    }
    static bool IsHeader(const std::string& l) { return !Trim(l).empty() && Trim(l)[0] == '['; }
    static bool IsKey(const std::string& l) {
        std::string t = Trim(l);
        return !t.empty() && t[0] != '#' && t[0] != '[';
    }
    long Header(const std::string& group) const {
        for (size_t i = 0; i < lines_.size(); ++i)
            if (Trim(lines_[i]) == "[" + group + "]") return static_cast<long>(i);
        return -1;
    }
    long Find(const std::string& group, const std::string& key) const {
        long h = Header(group);
        if (h < 0) return -1;
        for (size_t i = static_cast<size_t>(h) + 1; i < lines_.size() && !IsHeader(lines_[i]); ++i) {
            if (!IsKey(lines_[i])) continue;
            const std::string& l = lines_[i];
            if (Trim(l.substr(0, l.find('='))) == key) return static_cast<long>(i);
        }
        return -1;
    }

    std::vector<std::string> lines_;
    bool lastLineOpen_ = false;
};

// Loads a key file that may be missing; false (logged) when it is there but unreadable or damaged.
bool LoadKeyFile(const std::string& path, KeyFileLines& out, std::string& original) {
    std::error_code ec;
    original.clear();
    if (fs::status(path, ec).type() == fs::file_type::not_found) return true;
    std::string why;
    if (fs::is_directory(path, ec) || !platform::ReadWholeFile(path, original)) {
        LogError(path + " cannot be read; the file associations of the desktop were not changed");
        return false;
    }
    if (!out.Parse(original, why)) {
        LogError(path + " is damaged (" + why + "); it was left unchanged and the file associations of the desktop were not changed");
        return false;
    }
    return true;
}

// Replaces the file only where its text changes, making its folder first.
bool WriteChanged(const std::string& path, const std::string& text, const std::string& old) {
    if (text == old) return true;
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    if (!platform::WriteFileAtomic(path, text)) {
        LogError(path + " could not be written");
        return false;
    }
    return true;
}

bool SaveKeyFile(const std::string& path, const KeyFileLines& file, const std::string& original) {
    return WriteChanged(path, file.Text(), original);
}

std::vector<std::string> SplitList(const std::string& value) {
    std::vector<std::string> out;
    std::stringstream ss(value);
    for (std::string item; std::getline(ss, item, ';');)
        if (!item.empty()) out.push_back(item);
    return out;
}

std::string JoinList(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& i : items) out += i + ";";
    return out;
}

// The list without the player's entry; true when it was there.
bool DropOurs(std::vector<std::string>& items) {
    auto it = std::remove(items.begin(), items.end(), std::string(kDesktopEntryName));
    bool had = it != items.end();
    items.erase(it, items.end());
    return had;
}

bool NamesUsFirst(const std::string& value) {
    auto items = SplitList(value);
    return !items.empty() && items.front() == kDesktopEntryName;
}

// The backup's path, its folder made.
std::string BackupPathInItsFolder() {
    std::error_code ec;
    fs::create_directories(fs::path(DesktopDefaultsBackupPath()).parent_path(), ec);
    return DesktopDefaultsBackupPath();
}

// The two files of one change, loaded under a lock that writers in every process take turns on.
struct DesktopFiles {
    platform::FileWriteLock lock{BackupPathInItsFolder()};
    KeyFileLines list, backup;
    std::string listText, backupText;
    bool ok = false;
    DesktopFiles() {
        ok = LoadKeyFile(MimeAppsListPath(), list, listText) && LoadKeyFile(DesktopDefaultsBackupPath(), backup, backupText);
    }
    // The backup goes first, so that a default is never replaced before it is kept.
    bool Save() {
        return SaveKeyFile(DesktopDefaultsBackupPath(), backup, backupText) && SaveKeyFile(MimeAppsListPath(), list, listText);
    }
};

// Exec's quoting: the path in double quotes with '"', '`', '$' and '\' escaped, '%' doubled,
// then the key file's own escape of '\'.
bool QuoteExecPath(const std::string& path, std::string& out) {
    out = "\"";
    for (char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
        if (c == '"' || c == '`' || c == '$') out += "\\\\";
        if (c == '\\') out += "\\\\\\";
        if (c == '%') out += "%";
        out += c;
    }
    out += "\"";
    return true;
}

}  // namespace

std::string DesktopEntryPath() { return BaseFolder("XDG_DATA_HOME", "/.local/share") + "/applications/" + kDesktopEntryName; }
std::string MimeAppsListPath() { return BaseFolder("XDG_CONFIG_HOME", "/.config") + "/mimeapps.list"; }
std::string DesktopDefaultsBackupPath() { return BaseFolder("XDG_CONFIG_HOME", "/.config") + "/morvane/mimeapps-backup.list"; }

std::vector<std::string> MediaTypesOfExtension(const std::string& ext) { return MediaTypesIn(LoadGlobs(), ext); }

std::string DesktopEntryText(const std::string& programPath) {
    std::string exec;
    if (programPath.empty() || programPath[0] != '/' || !g_utf8_validate(programPath.c_str(), -1, nullptr) ||
        !QuoteExecPath(programPath, exec))
        return "";
    const std::vector<Glob> globs = LoadGlobs();
    std::vector<std::string> types;
    for (const wchar_t* e : AssocExtensions) {
        for (const std::string& t : MediaTypesIn(globs, WideToUtf8(e + 1)))
            if (std::find(types.begin(), types.end(), t) == types.end()) types.push_back(t);
    }
    std::string icon = fs::path(programPath).parent_path().string() + "/res/VIDEO.ico";
    std::string text =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Version=1.0\n"
        "Name=Morvane\n"
        "GenericName=Media Player\n"
        "Comment=Play audio and video files\n"
        "Exec=" + exec + " %f\n"
        "Icon=" + icon + "\n"
        "Terminal=false\n"
        "Categories=AudioVideo;Audio;Video;Player;\n"
        "MimeType=" + JoinList(types) + "\n";
    return text;
}

bool WriteDesktopEntry(const std::string& programPath) {
    const std::string text = DesktopEntryText(programPath);
    if (text.empty()) {
        LogError("the player's path " + programPath + " cannot stand in a desktop entry");
        return false;
    }
    std::string old;
    const std::string path = DesktopEntryPath();
    if (!platform::ReadWholeFile(path, old)) old.clear();
    return WriteChanged(path, text, old);
}

bool SetDesktopAssociation(const std::string& ext, const std::string& programPath) {
    const std::vector<std::string> types = MediaTypesOfExtension(ext);
    if (types.empty()) {
        LogWarning("the MIME database knows no audio or video type for ." + ext + "; the desktop does not open it with the player");
        return false;
    }
    if (!WriteDesktopEntry(programPath)) return false;
    DesktopFiles files;
    if (!files.ok) return false;
    for (const std::string& type : types) {
        // Another application's default is kept (a repeated set keeps the first one), ours left alone.
        if (!files.list.Has(kDefaultGroup, type)) {
            files.backup.Erase(kDefaultGroup, type);
        } else if (std::string cur = files.list.Get(kDefaultGroup, type); !NamesUsFirst(cur)) {
            files.backup.Set(kDefaultGroup, type, cur);
        }
        files.list.Set(kDefaultGroup, type, JoinList({kDesktopEntryName}));

        std::vector<std::string> added = SplitList(files.list.Get(kAddedGroup, type));
        DropOurs(added);
        added.insert(added.begin(), kDesktopEntryName);
        files.list.Set(kAddedGroup, type, JoinList(added));

        std::vector<std::string> removed = SplitList(files.list.Get(kRemovedGroup, type));
        if (DropOurs(removed)) {
            if (removed.empty()) files.list.Erase(kRemovedGroup, type);
            else files.list.Set(kRemovedGroup, type, JoinList(removed));
        }
    }
    return files.Save();
}

bool RemoveDesktopAssociation(const std::string& ext, const std::function<bool(const std::string&)>& stillAssociated) {
    const std::vector<Glob> globs = LoadGlobs();
    const std::vector<std::string> types = MediaTypesIn(globs, ext);
    if (types.empty()) return false;
    // A type shared with an extension that stays associated (.mp4, .m4v, .f4v) stays ours.
    std::vector<std::string> freed;
    for (const std::string& type : types) {
        bool shared = false;
        for (const Glob& g : globs) {
            if (g.type == type && !GlobMatches(g, ext) && stillAssociated(g.ext)) shared = true;
        }
        if (!shared) freed.push_back(type);
    }
    if (freed.empty()) return true;
    DesktopFiles files;
    if (!files.ok) return false;
    for (const std::string& type : freed) {
        if (NamesUsFirst(files.list.Get(kDefaultGroup, type))) {
            if (files.backup.Has(kDefaultGroup, type)) files.list.Set(kDefaultGroup, type, files.backup.Get(kDefaultGroup, type));
            else files.list.Erase(kDefaultGroup, type);
        }
        files.backup.Erase(kDefaultGroup, type);

        std::vector<std::string> added = SplitList(files.list.Get(kAddedGroup, type));
        if (DropOurs(added)) {
            if (added.empty()) files.list.Erase(kAddedGroup, type);
            else files.list.Set(kAddedGroup, type, JoinList(added));
        }
    }
    return files.Save();
}
