// The clipboard over GTK's X clipboard, and the bitmaps it carries (gdk-pixbuf).
#include <gtk/gtk.h>

#include <cstring>
#include <cwchar>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/text/codepage.h"
#include "platform/kernel/files.h"
#include "platform/shell/shell.h"

struct HBITMAP__ {
    GdkPixbuf* pixbuf;
};

namespace {

std::mutex g_mutex;
std::set<HBITMAP> g_bitmaps;  // live bitmaps, so a second DeleteObject is harmless

HBITMAP NewBitmap(GdkPixbuf* pixbuf) {
    if (!pixbuf) return nullptr;
    auto* b = new HBITMAP__{pixbuf};
    std::lock_guard lk(g_mutex);
    g_bitmaps.insert(b);
    return b;
}

bool LiveBitmap(HBITMAP b) {
    std::lock_guard lk(g_mutex);
    return b && g_bitmaps.count(b);
}

// What this process offers on the clipboard, and what it handed out since OpenClipboard.
struct Clip {
    DWORD openThread = 0;
    bool emptied = false;  // EmptyClipboard ran in this opening: SetClipboardData may place data
    unsigned generation = 0;
    std::optional<std::string> text;  // UTF-8
    GdkPixbuf* image = nullptr;
    std::vector<HGLOBAL> handedMemory;
    std::vector<HBITMAP> handedBitmaps;
};
Clip g_clip;  // guarded by g_mutex

enum Target : guint { kText = 1, kImage = 2, kEmpty = 3 };

void ServeTarget(GtkClipboard*, GtkSelectionData* data, guint info, gpointer) {
    std::lock_guard lk(g_mutex);
    if (info == kText && g_clip.text) gtk_selection_data_set_text(data, g_clip.text->c_str(), -1);
    if (info == kImage && g_clip.image) gtk_selection_data_set_pixbuf(data, g_clip.image);
}

void DropOffer(GtkClipboard*, gpointer generation) {
    // Another owner took the clipboard; a later offer of ours has a newer generation.
    std::lock_guard lk(g_mutex);
    if (GPOINTER_TO_UINT(generation) != g_clip.generation) return;
    g_clip.text.reset();
    if (g_clip.image) g_object_unref(g_clip.image);
    g_clip.image = nullptr;
}

GtkClipboard* Board() { return gtk_clipboard_get(GDK_SELECTION_CLIPBOARD); }

// Offers the current text and image under every target name GTK knows for them.
bool Publish() {
    GtkTargetList* list = gtk_target_list_new(nullptr, 0);
    unsigned generation;
    {
        std::lock_guard lk(g_mutex);
        if (g_clip.text) gtk_target_list_add_text_targets(list, kText);
        if (g_clip.image) gtk_target_list_add_image_targets(list, kImage, TRUE);
        // An emptied clipboard is still ours: it offers only a name nobody asks for.
        if (!g_clip.text && !g_clip.image)
            gtk_target_list_add(list, gdk_atom_intern_static_string("application/x-morvane-empty"), 0, kEmpty);
        generation = ++g_clip.generation;
    }
    gint n = 0;
    GtkTargetEntry* table = gtk_target_table_new_from_list(list, &n);
    bool ok = gtk_clipboard_set_with_data(Board(), table, static_cast<guint>(n), ServeTarget, DropOffer,
                                          GUINT_TO_POINTER(generation));
    gtk_target_table_free(table, n);
    gtk_target_list_unref(list);
    return ok;
}

bool IsOpenHere() {
    std::lock_guard lk(g_mutex);
    return g_clip.openThread != 0 && g_clip.openThread == GetCurrentThreadId();
}

HGLOBAL TextMemory(const void* bytes, size_t size) {
    HGLOBAL mem = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size);
    if (mem) std::memcpy(mem, bytes, size);
    return mem;
}

}  // namespace

HANDLE LoadImageW(HINSTANCE, LPCWSTR name, UINT type, int cx, int cy, UINT flags) {
    if (!name || type != IMAGE_BITMAP || !(flags & LR_LOADFROMFILE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    GError* error = nullptr;
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(platform::FsPath(name).c_str(), &error);
    if (!pixbuf) {
        SetLastError(error && error->domain == G_FILE_ERROR ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_PARAMETER);
        if (error) g_error_free(error);
        return nullptr;
    }
    if (cx > 0 || cy > 0) {
        GdkPixbuf* scaled = gdk_pixbuf_scale_simple(pixbuf, cx > 0 ? cx : gdk_pixbuf_get_width(pixbuf),
                                                    cy > 0 ? cy : gdk_pixbuf_get_height(pixbuf), GDK_INTERP_BILINEAR);
        g_object_unref(pixbuf);
        pixbuf = scaled;
    }
    return NewBitmap(pixbuf);
}

BOOL DeleteObject(HGDIOBJ object) {
    auto* b = static_cast<HBITMAP>(object);
    {
        std::lock_guard lk(g_mutex);
        if (!b || !g_bitmaps.erase(b)) return FALSE;
        std::erase(g_clip.handedBitmaps, b);
    }
    g_object_unref(b->pixbuf);
    delete b;
    return TRUE;
}

namespace platform::shell {

bool BitmapSize(HBITMAP bitmap, int* width, int* height) {
    if (!LiveBitmap(bitmap)) return false;
    if (width) *width = gdk_pixbuf_get_width(bitmap->pixbuf);
    if (height) *height = gdk_pixbuf_get_height(bitmap->pixbuf);
    return true;
}

DWORD BitmapPixel(HBITMAP bitmap, int x, int y) {
    if (!LiveBitmap(bitmap)) return 0;
    GdkPixbuf* p = bitmap->pixbuf;
    if (x < 0 || y < 0 || x >= gdk_pixbuf_get_width(p) || y >= gdk_pixbuf_get_height(p)) return 0;
    if (gdk_pixbuf_get_colorspace(p) != GDK_COLORSPACE_RGB || gdk_pixbuf_get_bits_per_sample(p) != 8) return 0;
    const guchar* px = gdk_pixbuf_read_pixels(p) + static_cast<size_t>(y) * gdk_pixbuf_get_rowstride(p) +
                       static_cast<size_t>(x) * gdk_pixbuf_get_n_channels(p);
    return (DWORD{px[0]} << 16) | (DWORD{px[1]} << 8) | px[2];
}

}  // namespace platform::shell

BOOL OpenClipboard(HWND) {
    if (!platform::HasDisplay()) return FALSE;
    std::lock_guard lk(g_mutex);
    DWORD me = GetCurrentThreadId();
    if (g_clip.openThread != 0 && g_clip.openThread != me) return FALSE;
    g_clip.openThread = me;
    g_clip.emptied = false;
    return TRUE;
}

BOOL CloseClipboard() {
    std::vector<HGLOBAL> memory;
    std::vector<HBITMAP> bitmaps;
    {
        std::lock_guard lk(g_mutex);
        if (g_clip.openThread != GetCurrentThreadId()) return FALSE;
        g_clip.openThread = 0;
        g_clip.emptied = false;
        memory.swap(g_clip.handedMemory);
        bitmaps.swap(g_clip.handedBitmaps);
    }
    for (HGLOBAL m : memory) GlobalFree(m);
    for (HBITMAP b : bitmaps) DeleteObject(b);
    return TRUE;
}

BOOL EmptyClipboard() {
    if (!IsOpenHere()) return FALSE;
    {
        std::lock_guard lk(g_mutex);
        g_clip.emptied = true;
        g_clip.text.reset();
        if (g_clip.image) g_object_unref(g_clip.image);
        g_clip.image = nullptr;
    }
    return Publish() ? TRUE : FALSE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
    if (!IsOpenHere() || !data) return nullptr;
    {
        std::lock_guard lk(g_mutex);
        if (!g_clip.emptied) return nullptr;
    }
    switch (format) {
        case CF_UNICODETEXT:
        case CF_TEXT: {
            std::string utf8 = format == CF_UNICODETEXT
                                   ? platform::Utf8FromWide(static_cast<const wchar_t*>(data))
                                   : platform::Utf8FromWide(platform::WideFromAnsi(static_cast<const char*>(data)));
            GlobalFree(data);  // the clipboard owns it now
            std::lock_guard lk(g_mutex);
            g_clip.text = std::move(utf8);
            break;
        }
        case CF_BITMAP: {
            auto* b = static_cast<HBITMAP>(data);
            std::lock_guard lk(g_mutex);
            if (!g_bitmaps.count(b)) return nullptr;
            // A copy of our own: the caller may delete its bitmap at once.
            GdkPixbuf* copy = gdk_pixbuf_copy(b->pixbuf);
            if (!copy) return nullptr;
            if (g_clip.image) g_object_unref(g_clip.image);
            g_clip.image = copy;
            break;
        }
        default: return nullptr;
    }
    return Publish() ? data : nullptr;
}

HANDLE GetClipboardData(UINT format) {
    if (!IsOpenHere()) return nullptr;
    HANDLE out = nullptr;
    if (format == CF_UNICODETEXT || format == CF_TEXT) {
        gchar* text = gtk_clipboard_wait_for_text(Board());
        if (!text) return nullptr;
        std::wstring wide = platform::WideFromUtf8(text);
        g_free(text);
        if (format == CF_UNICODETEXT) {
            out = TextMemory(wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
        } else {
            std::string ansi = platform::AnsiFromWide(wide);
            out = TextMemory(ansi.c_str(), ansi.size() + 1);
        }
        if (!out) return nullptr;
        std::lock_guard lk(g_mutex);
        g_clip.handedMemory.push_back(out);
    } else if (format == CF_BITMAP) {
        HBITMAP b = NewBitmap(gtk_clipboard_wait_for_image(Board()));
        if (!b) return nullptr;
        std::lock_guard lk(g_mutex);
        g_clip.handedBitmaps.push_back(b);
        out = b;
    }
    return out;
}

BOOL IsClipboardFormatAvailable(UINT format) {
    if (!platform::HasDisplay()) return FALSE;
    if (format == CF_UNICODETEXT || format == CF_TEXT) return gtk_clipboard_wait_is_text_available(Board());
    if (format == CF_BITMAP) return gtk_clipboard_wait_is_image_available(Board());
    return FALSE;
}
