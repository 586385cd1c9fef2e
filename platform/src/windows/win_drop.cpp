// Files dropped from other programs (GTK's drop target, text/uri-list) arrive as WM_DROPFILES.
#include <gtk/gtk.h>

#include <set>

#include "win_internal.h"

namespace platform::win {
namespace {

struct DropData {
    std::vector<std::wstring> files;
    POINT pt;
};
std::set<DropData*> g_drops;  // guarded by Mutex(): a stale or foreign HDROP is refused

const char kDropKey[] = "morvane-drop";

bool Accepts(HWND hwnd) { return (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0; }

bool TreeAccepts(HWND hwnd) {
    if (Accepts(hwnd)) return true;
    std::vector<HWND> children;
    {
        std::lock_guard lk(Mutex());
        if (WindowPtr w = FindLocked(hwnd)) children = w->children;
    }
    for (HWND c : children)
        if (TreeAccepts(c)) return true;
    return false;
}

void OnReceived(GtkWidget* widget, GdkDragContext*, gint x, gint y, GtkSelectionData* sel, guint, guint, gpointer) {
    auto top = static_cast<HWND>(g_object_get_data(G_OBJECT(widget), "morvane-hwnd"));
    if (!top) return;
    std::vector<std::wstring> files;
    gchar** uris = gtk_selection_data_get_uris(sel);
    for (gchar** u = uris; u && *u; ++u) {
        // Only local files can be handed over as paths.
        gchar* path = g_filename_from_uri(*u, nullptr, nullptr);
        if (!path) continue;
        gchar* utf8 = g_filename_to_utf8(path, -1, nullptr, nullptr, nullptr);
        if (utf8) files.push_back(FromUtf8(utf8));
        g_free(utf8);
        g_free(path);
    }
    g_strfreev(uris);
    if (files.empty()) return;
    POINT pt = ScreenOrigin(top);
    pt.x += x;
    pt.y += y;
    // The drop goes to the window under the point that takes files, or its nearest parent that does.
    HWND target = ChildAt(top, pt);
    while (target && !Accepts(target))
        target = (GetWindowLongPtrW(target, GWL_STYLE) & WS_CHILD) ? GetParent(target) : nullptr;
    if (!target) return;
    ScreenToClient(target, &pt);
    auto* d = new DropData{std::move(files), pt};
    {
        std::lock_guard lk(Mutex());
        g_drops.insert(d);
    }
    if (!PostMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(d), 0)) DragFinish(reinterpret_cast<HDROP>(d));
}

DropData* Lookup(HDROP drop) {
    auto* d = reinterpret_cast<DropData*>(drop);
    return g_drops.count(d) ? d : nullptr;
}

}  // namespace

void DropSync(HWND hwnd) {
    HWND root = RootOf(hwnd);
    auto* top = static_cast<GtkWidget*>(BackingToplevel(root));
    if (!top) return;
    bool want = TreeAccepts(root);
    bool has = g_object_get_data(G_OBJECT(top), kDropKey) != nullptr;
    if (want && !has) {
        gtk_drag_dest_set(top, GTK_DEST_DEFAULT_ALL, nullptr, 0,
                          static_cast<GdkDragAction>(GDK_ACTION_COPY | GDK_ACTION_MOVE | GDK_ACTION_LINK));
        gtk_drag_dest_add_uri_targets(top);
        if (!g_object_get_data(G_OBJECT(top), "morvane-drop-connected")) {
            g_signal_connect(top, "drag-data-received", G_CALLBACK(OnReceived), nullptr);
            g_object_set_data(G_OBJECT(top), "morvane-drop-connected", top);
        }
        g_object_set_data(G_OBJECT(top), kDropKey, top);
    } else if (!want && has) {
        gtk_drag_dest_unset(top);
        g_object_set_data(G_OBJECT(top), kDropKey, nullptr);
    }
}

}  // namespace platform::win

using namespace platform::win;

void DragAcceptFiles(HWND hwnd, BOOL accept) {
    LONG_PTR ex = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, accept ? (ex | WS_EX_ACCEPTFILES) : (ex & ~static_cast<LONG_PTR>(WS_EX_ACCEPTFILES)));
}

UINT DragQueryFileW(HDROP drop, UINT index, LPWSTR file, UINT size) {
    std::lock_guard lk(Mutex());
    DropData* d = Lookup(drop);
    if (!d) return 0;
    if (index == 0xFFFFFFFF) return static_cast<UINT>(d->files.size());
    if (index >= d->files.size()) return 0;
    const std::wstring& name = d->files[index];
    if (!file) return static_cast<UINT>(name.size());
    if (size == 0) return 0;
    // Never more than the buffer holds, terminator included.
    UINT n = std::min<UINT>(static_cast<UINT>(name.size()), size - 1);
    std::copy_n(name.data(), n, file);
    file[n] = L'\0';
    return n;
}

BOOL DragQueryPoint(HDROP drop, LPPOINT point) {
    std::lock_guard lk(Mutex());
    DropData* d = Lookup(drop);
    if (!d || !point) return FALSE;
    *point = d->pt;
    return TRUE;
}

void DragFinish(HDROP drop) {
    DropData* d;
    {
        std::lock_guard lk(Mutex());
        d = Lookup(drop);
        if (!d) return;
        g_drops.erase(d);
    }
    delete d;
}
