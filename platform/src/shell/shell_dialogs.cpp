// The open-file and folder dialogs on GTK's file chooser, with one answer hook for tests.
#include <gtk/gtk.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/text/codepage.h"
#include "platform/kernel/files.h"
#include "platform/shell/shell.h"
#include "windows/win_internal.h"

// A chosen folder: its NUL-ended file-system path, in one block of CoTaskMemFree-able memory.
struct ITEMIDLIST {
    char first;
};

namespace {

thread_local DWORD t_dialogError = 0;

bool IsDir(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string ParentOf(const std::string& p) {
    auto slash = p.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : p.substr(0, slash);
}

std::mutex g_answerLock;
std::optional<std::string> g_answer;

// The answer set in the process, else MORVANE_DIALOG_ANSWER: nullopt when neither is set (show
// the real dialog); an empty list is a cancel.
std::optional<std::vector<std::string>> TestAnswer() {
    std::optional<std::string> set;
    {
        std::lock_guard<std::mutex> lock(g_answerLock);
        set = g_answer;
    }
    std::string s;
    if (set) {
        s = *set;
    } else {
        const char* a = std::getenv("MORVANE_DIALOG_ANSWER");
        if (!a) return std::nullopt;
        s = a;
    }
    std::vector<std::string> paths;
    for (size_t from = 0; from <= s.size();) {
        size_t bar = s.find('|', from);
        if (bar == std::string::npos) bar = s.size();
        if (bar > from) paths.push_back(s.substr(from, bar - from));
        from = bar + 1;
    }
    return paths;
}

// Pattern lists match file names without regard to case, as the system they come from does.
struct Filter {
    std::vector<std::string> patterns;  // lower case
};

gboolean MatchFilter(const GtkFileFilterInfo* info, gpointer data) {
    auto* f = static_cast<Filter*>(data);
    if (!info->display_name) return FALSE;
    gchar* name = g_utf8_strdown(info->display_name, -1);
    bool hit = false;
    for (const auto& p : f->patterns)
        if (p == "*.*" || p == "*" || g_pattern_match_simple(p.c_str(), name)) hit = true;
    g_free(name);
    return hit;
}

void AddFilters(GtkFileChooser* chooser, LPCWSTR list, DWORD index, std::vector<Filter*>& owned) {
    if (!list) return;
    DWORD n = 0;
    for (LPCWSTR p = list; *p;) {
        std::wstring desc = p;
        p += desc.size() + 1;
        if (!*p) break;
        std::wstring pats = p;
        p += pats.size() + 1;
        auto* f = new Filter;
        owned.push_back(f);
        std::string all = platform::Utf8FromWide(pats);
        for (size_t from = 0; from < all.size();) {
            size_t semi = all.find(';', from);
            if (semi == std::string::npos) semi = all.size();
            std::string one = all.substr(from, semi - from);
            one.erase(0, one.find_first_not_of(' '));
            if (!one.empty()) {
                gchar* low = g_utf8_strdown(one.c_str(), -1);
                f->patterns.push_back(low);
                g_free(low);
            }
            from = semi + 1;
        }
        GtkFileFilter* gf = gtk_file_filter_new();
        gtk_file_filter_set_name(gf, platform::Utf8FromWide(desc).c_str());
        gtk_file_filter_add_custom(gf, GTK_FILE_FILTER_DISPLAY_NAME, MatchFilter, f, nullptr);
        gtk_file_chooser_add_filter(chooser, gf);
        if (++n == (index ? index : 1)) gtk_file_chooser_set_filter(chooser, gf);
    }
}

// Runs a chooser modally over the owner (disabled meanwhile); the chosen paths, empty on cancel.
std::vector<std::string> RunChooser(HWND owner, GtkFileChooserAction action, const std::string& title,
                                    bool multiple, bool createFolders, const std::string& folder, LPCWSTR filter,
                                    DWORD filterIndex) {
    std::vector<std::string> out;
    if (!platform::HasDisplay()) return out;
    if (owner) owner = platform::win::RootOf(owner);
    const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled) EnableWindow(owner, FALSE);

    const bool folders = action == GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER;
    // Untitled, the window would carry the program's name, which says nothing of what it asks.
    const std::string shown = !title.empty() ? title : folders ? "浏览文件夹" : "打开";
    GtkWidget* dlg = gtk_file_chooser_dialog_new(shown.c_str(), nullptr, action, "_Cancel",
                                                 GTK_RESPONSE_CANCEL, folders ? "_Select" : "_Open",
                                                 GTK_RESPONSE_ACCEPT, nullptr);
    auto* chooser = GTK_FILE_CHOOSER(dlg);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    gtk_file_chooser_set_select_multiple(chooser, multiple);
    gtk_file_chooser_set_create_folders(chooser, createFolders);
    // Without a folder of the caller's: the current folder for files, home for folders (the
    // chooser's own start, its recent list, chooses no folder).
    std::string start = folder;
    if (start.empty() || !IsDir(start)) {
        gchar* cwd = g_get_current_dir();
        start = folders ? g_get_home_dir() : cwd;
        g_free(cwd);
    }
    gtk_file_chooser_set_current_folder(chooser, start.c_str());
    std::vector<Filter*> filters;
    AddFilters(chooser, filter, filterIndex, filters);
    gtk_window_set_modal(GTK_WINDOW(dlg), TRUE);
    platform::win::BackingAddDialog(dlg, owner);

    if (gtk_dialog_run(GTK_DIALOG(dlg)) == GTK_RESPONSE_ACCEPT) {
        GSList* names = gtk_file_chooser_get_filenames(chooser);
        for (GSList* n = names; n; n = n->next) out.emplace_back(static_cast<char*>(n->data));
        g_slist_free_full(names, g_free);
    }
    platform::win::BackingRemoveDialog(dlg);
    gtk_widget_destroy(dlg);
    // The caller may work a while before its loop runs again: the dialog goes from the screen now.
    gdk_display_flush(gdk_display_get_default());
    for (Filter* f : filters) delete f;
    if (ownerWasEnabled) EnableWindow(owner, TRUE);
    return out;
}

bool CopyOut(const std::wstring& text, LPWSTR dst, DWORD size) {
    if (!dst || text.size() + 1 > size) return false;
    std::wmemcpy(dst, text.c_str(), text.size());
    dst[text.size()] = 0;
    return true;
}

}  // namespace

void platform::shell::SetDialogAnswer(const std::optional<std::string>& answer) {
    std::lock_guard<std::mutex> lock(g_answerLock);
    g_answer = answer;
}

DWORD CommDlgExtendedError() { return t_dialogError; }

BOOL GetOpenFileNameW(OPENFILENAMEW* ofn) {
    t_dialogError = 0;
    if (!ofn || !ofn->lpstrFile || ofn->nMaxFile == 0) {
        t_dialogError = 0x0002;  // CDERR_INITIALIZATION
        return FALSE;
    }
    const bool multiple = (ofn->Flags & OFN_ALLOWMULTISELECT) != 0;
    std::vector<std::string> chosen;
    if (auto answer = TestAnswer()) {
        chosen = *answer;
        if (!multiple && chosen.size() > 1) chosen.resize(1);
    } else {
        std::string folder = ofn->lpstrInitialDir ? platform::FsPath(ofn->lpstrInitialDir) : std::string();
        std::string title = ofn->lpstrTitle ? platform::FsPath(ofn->lpstrTitle) : std::string();
        chosen = RunChooser(ofn->hwndOwner, GTK_FILE_CHOOSER_ACTION_OPEN, title, multiple, true, folder,
                            ofn->lpstrFilter, ofn->nFilterIndex);
    }
    if (chosen.empty()) return FALSE;
    for (auto& c : chosen) {
        if (c.front() != '/') c = std::filesystem::absolute(c).string();
        if ((ofn->Flags & OFN_FILEMUSTEXIST) && !IsFile(c)) return FALSE;
        if ((ofn->Flags & OFN_PATHMUSTEXIST) && !IsDir(ParentOf(c))) return FALSE;
    }

    // Several names share the first one's folder.
    const std::string folder = ParentOf(chosen.front());
    std::wstring result;
    WORD nameOffset = 0, extOffset = 0;
    if (chosen.size() == 1) {
        result = platform::WideFromUtf8(chosen.front());
        size_t slash = result.rfind(L'/');
        nameOffset = static_cast<WORD>(slash == std::wstring::npos ? 0 : slash + 1);
        size_t dot = result.rfind(L'.');
        extOffset = static_cast<WORD>(dot != std::wstring::npos && dot > nameOffset ? dot + 1 : result.size());
        result.push_back(0);
    } else {
        result = platform::WideFromUtf8(folder);
        result.push_back(0);
        nameOffset = static_cast<WORD>(result.size());
        for (const auto& c : chosen) {
            result += platform::WideFromUtf8(c.substr(c.rfind('/') + 1));
            result.push_back(0);
        }
    }
    result.push_back(0);
    if (result.size() > ofn->nMaxFile) {
        t_dialogError = FNERR_BUFFERTOOSMALL;
        ofn->lpstrFile[0] = static_cast<wchar_t>(std::min<size_t>(result.size(), 0xFFFF));
        return FALSE;
    }
    std::wmemcpy(ofn->lpstrFile, result.data(), result.size());
    ofn->nFileOffset = nameOffset;
    ofn->nFileExtension = extOffset;
    if (ofn->lpstrFileTitle && ofn->nMaxFileTitle)
        CopyOut(platform::WideFromUtf8(chosen.front().substr(chosen.front().rfind('/') + 1)), ofn->lpstrFileTitle,
                ofn->nMaxFileTitle);
    if (!(ofn->Flags & OFN_NOCHANGEDIR) && ::chdir(folder.c_str()) != 0) {
        // The choice stands; only the current folder stays as it was.
    }
    return TRUE;
}

PIDLIST_ABSOLUTE SHBrowseForFolderW(BROWSEINFOW* info) {
    if (!info) return nullptr;
    std::string chosen;
    if (auto answer = TestAnswer()) {
        if (!answer->empty()) chosen = answer->front();
    } else {
        std::string title = info->lpszTitle ? platform::FsPath(info->lpszTitle) : std::string();
        auto picked = RunChooser(info->hwndOwner, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, title, false,
                                 !(info->ulFlags & BIF_NONEWFOLDERBUTTON), std::string(), nullptr, 0);
        if (!picked.empty()) chosen = picked.front();
    }
    if (chosen.empty() || !IsDir(chosen)) return nullptr;
    while (chosen.size() > 1 && chosen.back() == '/') chosen.pop_back();
    if (info->pszDisplayName) {
        std::string name = chosen == "/" ? chosen : chosen.substr(chosen.rfind('/') + 1);
        if (!CopyOut(platform::WideFromUtf8(name), info->pszDisplayName, MAX_PATH)) info->pszDisplayName[0] = 0;
    }
    auto* list = static_cast<ITEMIDLIST*>(std::malloc(chosen.size() + 1));
    if (!list) return nullptr;
    std::memcpy(reinterpret_cast<char*>(list), chosen.c_str(), chosen.size() + 1);
    return list;
}

BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE list, LPWSTR path) {
    if (!list || !path) return FALSE;
    if (!CopyOut(platform::WideFromUtf8(reinterpret_cast<const char*>(list)), path, MAX_PATH)) {
        path[0] = 0;
        return FALSE;
    }
    return TRUE;
}

void ILFree(PIDLIST_ABSOLUTE list) { std::free(list); }

void CoTaskMemFree(LPVOID mem) { std::free(mem); }
