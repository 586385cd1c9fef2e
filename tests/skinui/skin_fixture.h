// A skin archive made for one test: files written to a temporary folder, zipped with the
// zip tool, and handed to the toolkit from memory.
#pragma once

#include <cairo.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <map>
#include <string>

#include "skinui/skinui.h"
#include "support/temp_dir.h"

namespace skintest {

inline std::string Bmp24(int w, int h, uint32_t rgb) {
    int rowBytes = (w * 3 + 3) & ~3;
    uint32_t size = 54 + static_cast<uint32_t>(rowBytes * h);
    std::string b(size, '\0');
    auto put32 = [&](size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i)); };
    b[0] = 'B'; b[1] = 'M';
    put32(2, size); put32(10, 54); put32(14, 40); put32(18, static_cast<uint32_t>(w)); put32(22, static_cast<uint32_t>(h));
    b[26] = 1; b[28] = 24; put32(34, size - 54);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            size_t p = 54 + static_cast<size_t>(y * rowBytes + x * 3);
            b[p] = static_cast<char>(rgb & 0xFF); b[p + 1] = static_cast<char>((rgb >> 8) & 0xFF); b[p + 2] = static_cast<char>(rgb >> 16);
        }
    return b;
}

// A PNG of horizontal cells, each `cell` pixels wide, in the given opaque colours.
inline void WriteCellsPng(const std::string& path, int cell, int h, std::initializer_list<uint32_t> colours) {
    int n = static_cast<int>(colours.size());
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, cell * n, h);
    cairo_t* cr = cairo_create(s);
    int i = 0;
    for (uint32_t c : colours) {
        cairo_set_source_rgb(cr, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0);
        cairo_rectangle(cr, i * cell, 0, cell, h);
        cairo_fill(cr);
        ++i;
    }
    cairo_destroy(cr);
    cairo_surface_write_to_png(s, path.c_str());
    cairo_surface_destroy(s);
}

class SkinArchive {
public:
    void Add(const std::string& name, const std::string& content) { dir_.write("src/" + name, content); }
    std::string Path(const std::string& name) const {
        std::filesystem::create_directories(dir_.path() / "src");
        return (dir_.path() / "src" / name).string();
    }
    // Zips everything added and makes it the toolkit's archive.
    void Install() {
        std::string cmd = "cd '" + (dir_.path() / "src").string() + "' && zip -q -X ../skin.zip * >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0) throw std::runtime_error("zip failed");
        bytes_ = testsupport::ReadFile(dir_.path() / "skin.zip");
        skinui::CSkinArchive::SetZipMemory(bytes_.data(), bytes_.size());
    }
    ~SkinArchive() { skinui::CSkinArchive::Reset(); }

private:
    testsupport::TempDir dir_;
    std::string bytes_;
};

// ARGB of one pixel of an image surface (premultiplied as stored).
inline uint32_t Pixel(cairo_surface_t* s, int x, int y) {
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    return *reinterpret_cast<const uint32_t*>(data + y * stride + x * 4);
}

}  // namespace skintest
