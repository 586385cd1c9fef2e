// Draws the agent's document icons at build time: one per association extension (named by the
// extension, "mp4.ico") and the two fallbacks "AUDIO.ico" and "VIDEO.ico". Each .ico holds a
// 48x48 and a 16x16 PNG image. Usage: morvane-make-icons <output folder>
#include <cairo.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "player/settings/assoc_table.h"

namespace {

cairo_status_t AppendPng(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<std::string*>(closure);
    out->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

// A page with a folded corner, coloured by kind, with the label across it.
std::string DrawPng(int size, const std::string& label, bool audio) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(surface);
    double s = size / 48.0;
    cairo_scale(cr, s, s);
    cairo_move_to(cr, 8, 2);
    cairo_line_to(cr, 30, 2);
    cairo_line_to(cr, 40, 12);
    cairo_line_to(cr, 40, 46);
    cairo_line_to(cr, 8, 46);
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, 0.97, 0.97, 0.97);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.35, 0.35, 0.35);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    cairo_rectangle(cr, 4, 22, 40, 16);
    if (audio) {
        cairo_set_source_rgb(cr, 0.18, 0.55, 0.28);
    } else {
        cairo_set_source_rgb(cr, 0.16, 0.38, 0.72);
    }
    cairo_fill(cr);
    if (size >= 32) {
        cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
        cairo_set_font_size(cr, label.size() > 4 ? 8 : 11);
        cairo_text_extents_t ext;
        cairo_text_extents(cr, label.c_str(), &ext);
        cairo_move_to(cr, 24 - ext.width / 2 - ext.x_bearing, 30 - ext.height / 2 - ext.y_bearing);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_show_text(cr, label.c_str());
    }
    cairo_destroy(cr);
    std::string png;
    cairo_surface_write_to_png_stream(surface, AppendPng, &png);
    cairo_surface_destroy(surface);
    return png;
}

void Put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xff);
    out += static_cast<char>((v >> 8) & 0xff);
}
void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xffff);
    Put16(out, v >> 16);
}

// The icon file format: a directory of images, here PNG-compressed ones.
std::string MakeIco(const std::string& label, bool audio) {
    const int sizes[] = {48, 16};
    std::vector<std::string> images;
    for (int size : sizes) images.push_back(DrawPng(size, label, audio));
    std::string out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, static_cast<unsigned>(images.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        out += static_cast<char>(sizes[i]);
        out += static_cast<char>(sizes[i]);
        out += '\0';  // no palette
        out += '\0';
        Put16(out, 1);   // planes
        Put16(out, 32);  // bits per pixel
        Put32(out, static_cast<std::uint32_t>(images[i].size()));
        Put32(out, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const auto& img : images) out += img;
    return out;
}

bool Write(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << bytes;
    return static_cast<bool>(f);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    bool ok = Write(dir / "VIDEO.ico", MakeIco("VIDEO", false)) && Write(dir / "AUDIO.ico", MakeIco("AUDIO", true));
    for (size_t i = 0; ok && i < kAssocExtensionCount; ++i) {
        std::wstring w = AssocExtensions[i] + 1;
        std::string ext(w.begin(), w.end());  // the extensions are ASCII
        std::string label;
        for (char c : ext) label += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        ok = Write(dir / (ext + ".ico"), MakeIco(label, i >= kAssocVideoCount));
    }
    if (!ok) std::fprintf(stderr, "cannot write the icons into %s\n", argv[1]);
    return ok ? 0 : 1;
}
