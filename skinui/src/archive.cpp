// The skin archive (a zip in memory, read with minizip over memory functions, or a folder)
// and the process-wide image cache (gdk-pixbuf: PNG, BMP, GIF).
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <minizip/unzip.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <mutex>
#include <unordered_map>

#include "render.h"

namespace skinui {

namespace {

struct MemFile {
    const unsigned char* data = nullptr;
    uLong size = 0;
    uLong pos = 0;
};

voidpf ZCALLBACK MemOpen(voidpf opaque, const char*, int) {
    auto* src = static_cast<MemFile*>(opaque);
    return new MemFile(*src);
}
uLong ZCALLBACK MemRead(voidpf, voidpf stream, void* buf, uLong size) {
    auto* f = static_cast<MemFile*>(stream);
    uLong n = std::min(size, f->size - f->pos);
    std::memcpy(buf, f->data + f->pos, n);
    f->pos += n;
    return n;
}
uLong ZCALLBACK MemWrite(voidpf, voidpf, const void*, uLong) { return 0; }
long ZCALLBACK MemTell(voidpf, voidpf stream) { return static_cast<long>(static_cast<MemFile*>(stream)->pos); }
long ZCALLBACK MemSeek(voidpf, voidpf stream, uLong offset, int origin) {
    auto* f = static_cast<MemFile*>(stream);
    uLong base = origin == ZLIB_FILEFUNC_SEEK_SET ? 0 : origin == ZLIB_FILEFUNC_SEEK_CUR ? f->pos : f->size;
    uLong target = base + offset;
    if (target > f->size) return -1;
    f->pos = target;
    return 0;
}
int ZCALLBACK MemClose(voidpf, voidpf stream) {
    delete static_cast<MemFile*>(stream);
    return 0;
}
int ZCALLBACK MemError(voidpf, voidpf) { return 0; }

std::wstring Lower(const std::wstring& s) {
    CDuiString l(s);
    l.MakeLower();
    return l;
}

struct Archive {
    std::mutex mutex;
    MemFile mem;
    unzFile zip = nullptr;
    std::unordered_map<std::wstring, unz_file_pos> index;  // lower-case name -> entry
    std::wstring folder;

    void Close() {
        if (zip) unzClose(zip);
        zip = nullptr;
        index.clear();
        folder.clear();
    }
};

Archive& TheArchive() {
    static Archive a;
    return a;
}

}  // namespace

bool CSkinArchive::SetZipMemory(const void* data, size_t size) {
    Archive& a = TheArchive();
    std::lock_guard<std::mutex> lock(a.mutex);
    a.Close();
    CPaintManagerUI::RemoveAllImages();
    if (!data || size == 0 || size > 0x7fffffff) {
        ReportError(L"the skin archive is empty");
        return false;
    }
    a.mem = MemFile{static_cast<const unsigned char*>(data), static_cast<uLong>(size), 0};
    zlib_filefunc_def funcs{MemOpen, MemRead, MemWrite, MemTell, MemSeek, MemClose, MemError, &a.mem};
    a.zip = unzOpen2("skin.zip", &funcs);
    if (!a.zip) {
        ReportError(L"the skin archive is not a readable zip");
        return false;
    }
    for (int rc = unzGoToFirstFile(a.zip); rc == UNZ_OK; rc = unzGoToNextFile(a.zip)) {
        char name[512];
        unz_file_info info;
        if (unzGetCurrentFileInfo(a.zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) continue;
        unz_file_pos pos;
        unzGetFilePos(a.zip, &pos);
        a.index.emplace(Lower(CDuiString::FromUtf8(name)), pos);
    }
    return true;
}

void CSkinArchive::SetFolder(const std::wstring& folder) {
    Archive& a = TheArchive();
    std::lock_guard<std::mutex> lock(a.mutex);
    a.Close();
    CPaintManagerUI::RemoveAllImages();
    a.folder = folder;
}

bool CSkinArchive::IsZipMemory(const void* data) {
    Archive& a = TheArchive();
    std::lock_guard<std::mutex> lock(a.mutex);
    return a.zip && data && a.mem.data == data;
}

void CSkinArchive::Reset() {
    Archive& a = TheArchive();
    std::lock_guard<std::mutex> lock(a.mutex);
    a.Close();
    CPaintManagerUI::RemoveAllImages();
}

bool CSkinArchive::Exists(const std::wstring& name) {
    Archive& a = TheArchive();
    std::lock_guard<std::mutex> lock(a.mutex);
    if (a.zip) return a.index.count(Lower(name)) != 0;
    if (a.folder.empty()) return false;
    std::ifstream f(CDuiString(a.folder + L"/" + name).ToUtf8(), std::ios::binary);
    return f.good();
}

bool CSkinArchive::Read(const std::wstring& name, std::string& out) {
    Archive& a = TheArchive();
    std::lock_guard<std::mutex> lock(a.mutex);
    out.clear();
    // Members sit at the archive root; a name with a folder part or ".." never leaves it.
    if (name.empty() || name.find(L"..") != std::wstring::npos) {
        ReportError(L"bad skin member name \"" + name + L"\"");
        return false;
    }
    if (a.zip) {
        auto it = a.index.find(Lower(name));
        if (it == a.index.end()) {
            ReportError(L"\"" + name + L"\" is not in the skin archive");
            return false;
        }
        unz_file_pos pos = it->second;
        unz_file_info info;
        if (unzGoToFilePos(a.zip, &pos) != UNZ_OK ||
            unzGetCurrentFileInfo(a.zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
            info.uncompressed_size > (64u << 20) || unzOpenCurrentFile(a.zip) != UNZ_OK) {
            ReportError(L"\"" + name + L"\" cannot be read from the skin archive");
            return false;
        }
        out.resize(info.uncompressed_size);
        int n = info.uncompressed_size ? unzReadCurrentFile(a.zip, out.data(), static_cast<unsigned>(out.size())) : 0;
        unzCloseCurrentFile(a.zip);
        if (n != static_cast<int>(out.size())) {
            out.clear();
            ReportError(L"\"" + name + L"\" is damaged in the skin archive");
            return false;
        }
        return true;
    }
    if (!a.folder.empty()) {
        std::ifstream f(CDuiString(a.folder + L"/" + name).ToUtf8(), std::ios::binary);
        if (f) {
            out.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
            return true;
        }
        ReportError(L"\"" + name + L"\" is not in the skin folder");
        return false;
    }
    ReportError(L"no skin archive is set; \"" + name + L"\" cannot be read");
    return false;
}

// ---- images ----

namespace {

struct ImageCache {
    std::mutex mutex;
    std::unordered_map<std::wstring, std::unique_ptr<TImageInfo>> images;  // null: known missing

    ~ImageCache() { Clear(); }
    // The caller holds the mutex (or nobody else can).
    void Clear() {
        for (auto& [name, img] : images)
            if (img && img->surface) cairo_surface_destroy(img->surface);
        images.clear();
    }
};

ImageCache& Images() {
    static ImageCache c;
    return c;
}

// The number of pictures a GIF holds, read from its block structure: the decoder hands out
// one composed picture at a time and never says how many there are. 0 for what is no GIF;
// a file cut short counts the pictures that begin before the cut.
int GifFrameCount(const std::string& bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    if (n < 13 || (bytes.compare(0, 6, "GIF87a") != 0 && bytes.compare(0, 6, "GIF89a") != 0)) return 0;
    size_t at = 13;
    if (b[10] & 0x80) at += 3u << ((b[10] & 7) + 1);
    // Skips a run of data sub-blocks; false when the file ends inside it.
    auto skipSubBlocks = [&] {
        while (at < n) {
            const size_t size = b[at++];
            if (size == 0) return true;
            at += size;
        }
        return false;
    };
    int frames = 0;
    while (at < n) {
        const unsigned char kind = b[at++];
        if (kind == 0x21) {
            if (++at > n || !skipSubBlocks()) break;
        } else if (kind == 0x2C) {
            if (at + 9 > n) break;
            ++frames;
            const unsigned char packed = b[at + 8];
            at += 9;
            if (packed & 0x80) at += 3u << ((packed & 7) + 1);
            if (++at > n || !skipSubBlocks()) break;  // the code size, then the picture's data
        } else {
            break;  // the trailer (0x3B) or damage
        }
    }
    return frames;
}

}  // namespace

cairo_surface_t* SurfaceFromPixbuf(GdkPixbuf* pb) {
    int w = gdk_pixbuf_get_width(pb), h = gdk_pixbuf_get_height(pb);
    int channels = gdk_pixbuf_get_n_channels(pb), stride = gdk_pixbuf_get_rowstride(pb);
    const guchar* px = gdk_pixbuf_read_pixels(pb);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_surface_flush(s);
    unsigned char* dst = cairo_image_surface_get_data(s);
    int dstride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y) {
        const guchar* p = px + y * stride;
        auto* q = reinterpret_cast<uint32_t*>(dst + y * dstride);
        for (int x = 0; x < w; ++x, p += channels) {
            uint32_t a = channels == 4 ? p[3] : 255;
            uint32_t r = p[0] * a / 255, g = p[1] * a / 255, b = p[2] * a / 255;
            q[x] = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    cairo_surface_mark_dirty(s);
    return s;
}

// frames, when given, gets the number of pictures of the image (1 for a still one).
GdkPixbufAnimation* LoadAnimation(const CDuiString& name, int* frames) {
    std::string bytes;
    if (!CSkinArchive::Read(name, bytes)) return nullptr;
    if (frames) *frames = std::max(1, GifFrameCount(bytes));
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    GError* err = nullptr;
    bool ok = gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(bytes.data()), bytes.size(), &err);
    if (err) g_clear_error(&err);
    ok = gdk_pixbuf_loader_close(loader, ok ? &err : nullptr) && ok;
    if (err) g_clear_error(&err);
    GdkPixbufAnimation* anim = ok ? gdk_pixbuf_loader_get_animation(loader) : nullptr;
    if (anim) g_object_ref(anim);
    else ReportError(L"image \"" + name + L"\" cannot be decoded");
    g_object_unref(loader);
    return anim;
}

const TImageInfo* CPaintManagerUI::GetImageEx(const CDuiString& name) {
    if (name.empty()) return nullptr;
    ImageCache& c = Images();
    {
        std::lock_guard<std::mutex> lock(c.mutex);
        auto it = c.images.find(name);
        if (it != c.images.end()) return it->second.get();
    }
    std::unique_ptr<TImageInfo> info;
    if (GdkPixbufAnimation* anim = LoadAnimation(name, nullptr)) {
        GdkPixbuf* pb = gdk_pixbuf_animation_get_static_image(anim);
        if (pb) {
            info = std::make_unique<TImageInfo>();
            info->surface = SurfaceFromPixbuf(pb);
            info->nWidth = gdk_pixbuf_get_width(pb);
            info->nHeight = gdk_pixbuf_get_height(pb);
            info->bAlpha = gdk_pixbuf_get_has_alpha(pb);
        }
        g_object_unref(anim);
    }
    std::lock_guard<std::mutex> lock(c.mutex);
    auto& slot = c.images[name];
    if (!slot) slot = std::move(info);
    return slot.get();
}

void CPaintManagerUI::RemoveAllImages() {
    ImageCache& c = Images();
    std::lock_guard<std::mutex> lock(c.mutex);
    c.Clear();
}

}  // namespace skinui
