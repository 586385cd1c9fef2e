// Drawing over cairo and Pango; Chinese font names of the layouts resolve through fontconfig
// aliases to the installed CJK font.
#include "render.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>

#include <mutex>

namespace skinui::render {

namespace {

constexpr const char* kCjkFont = "WenQuanYi Micro Hei";

// The layouts name Windows fonts; each becomes an alias of the CJK font, so Pango finds the
// glyphs of both Chinese and Latin text in one face.
void EnsureFontAliases() {
    static std::once_flag once;
    std::call_once(once, [] {
        static const char* names[] = {"宋体", "新宋体", "微软雅黑", "黑体", "SimSun", "NSimSun",
                                      "Microsoft YaHei", "SimHei", "Tahoma", "Arial", "Verdana"};
        std::string conf = "<?xml version=\"1.0\"?><!DOCTYPE fontconfig SYSTEM \"fonts.dtd\"><fontconfig>";
        for (const char* n : names) {
            conf += "<alias binding=\"same\"><family>";
            conf += n;
            conf += "</family><prefer><family>";
            conf += kCjkFont;
            conf += "</family></prefer></alias>";
        }
        conf += "</fontconfig>";
        FcConfig* config = FcConfigGetCurrent();
        FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(conf.c_str()), FcFalse);
        FcConfigBuildFonts(config);
    });
}

}  // namespace

void SetColor(cairo_t* cr, DWORD argb) {
    cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0, (argb & 0xFF) / 255.0,
                          ((argb >> 24) & 0xFF) / 255.0);
}

DWORD TextColor(DWORD argb) { return (argb & 0xFF000000u) ? argb : (argb | 0xFF000000u); }

void FillRect(cairo_t* cr, const RECT& rc, DWORD argb) {
    if ((argb >> 24) == 0) return;
    SetColor(cr, argb);
    cairo_rectangle(cr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    cairo_fill(cr);
}

void RoundRectPath(cairo_t* cr, const RECT& rc, int rx, int ry) {
    double x = rc.left, y = rc.top, w = rc.right - rc.left, h = rc.bottom - rc.top;
    double r = std::min({static_cast<double>(std::max(rx, ry)) / 2.0, w / 2.0, h / 2.0});
    if (r <= 0) {
        cairo_rectangle(cr, x, y, w, h);
        return;
    }
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -G_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, G_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, G_PI / 2, G_PI);
    cairo_arc(cr, x + r, y + r, r, G_PI, 3 * G_PI / 2);
    cairo_close_path(cr);
}

void DrawBorder(cairo_t* cr, const RECT& rc, int size, DWORD argb, SIZE round) {
    if (size <= 0 || (argb >> 24) == 0) return;
    SetColor(cr, argb);
    cairo_set_line_width(cr, size);
    RECT in{rc.left, rc.top, rc.right, rc.bottom};
    cairo_save(cr);
    cairo_translate(cr, size / 2.0, size / 2.0);
    in.right -= size;
    in.bottom -= size;
    RoundRectPath(cr, in, round.cx, round.cy);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void DrawLine(cairo_t* cr, int x1, int y1, int x2, int y2, int width, DWORD argb) {
    SetColor(cr, argb);
    cairo_set_line_width(cr, width);
    cairo_move_to(cr, x1 + 0.5, y1 + 0.5);
    cairo_line_to(cr, x2 + 0.5, y2 + 0.5);
    cairo_stroke(cr);
}

PangoFontDescription* FontDescription(TFontInfo* info) {
    EnsureFontAliases();
    if (!info->desc) {
        info->desc = pango_font_description_new();
        std::string family = info->sFontName.ToUtf8();
        if (family.empty()) family = kCjkFont;
        pango_font_description_set_family(info->desc, family.c_str());
        pango_font_description_set_absolute_size(info->desc, std::max(1, info->iSize) * PANGO_SCALE);
        pango_font_description_set_weight(info->desc, info->bBold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
        pango_font_description_set_style(info->desc, info->bItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    }
    return info->desc;
}

PangoLayout* MakeLayout(cairo_t* cr, CPaintManagerUI* manager, int font, const CDuiString& text) {
    PangoLayout* layout = pango_cairo_create_layout(cr);
    TFontInfo fallback;
    TFontInfo* info = manager ? manager->GetFontInfo(font) : nullptr;
    static TFontInfo s_default{L"", 12, false, false, false, nullptr};
    if (!info) info = &s_default;
    pango_layout_set_font_description(layout, FontDescription(info));
    std::string utf8 = text.ToUtf8();
    pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));
    if (info->bUnderline) {
        PangoAttrList* attrs = pango_attr_list_new();
        pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
        pango_layout_set_attributes(layout, attrs);
        pango_attr_list_unref(attrs);
    }
    return layout;
}

void DrawText(cairo_t* cr, CPaintManagerUI* manager, const RECT& rc, const CDuiString& text, DWORD argb, int font,
              UINT style) {
    if (text.empty() || rc.right <= rc.left || rc.bottom <= rc.top) return;
    PangoLayout* layout = MakeLayout(cr, manager, font, text);
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    bool single = (style & DT_SINGLELINE) || !(style & DT_WORDBREAK);
    if (single) {
        pango_layout_set_single_paragraph_mode(layout, (style & DT_SINGLELINE) != 0);
        if (style & DT_END_ELLIPSIS) {
            pango_layout_set_width(layout, w * PANGO_SCALE);
            pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
        }
    } else {
        pango_layout_set_width(layout, w * PANGO_SCALE);
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        if (style & DT_END_ELLIPSIS) {
            pango_layout_set_height(layout, h * PANGO_SCALE);
            pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
        }
    }
    PangoAlignment align = (style & DT_CENTER) ? PANGO_ALIGN_CENTER : (style & DT_RIGHT) ? PANGO_ALIGN_RIGHT : PANGO_ALIGN_LEFT;
    pango_layout_set_alignment(layout, align);
    PangoRectangle ink, logical;
    pango_layout_get_pixel_extents(layout, &ink, &logical);
    double x = rc.left;
    if (pango_layout_get_width(layout) < 0) {  // unbounded layout: align by hand
        if (style & DT_CENTER) x = rc.left + (w - logical.width) / 2.0;
        else if (style & DT_RIGHT) x = rc.right - logical.width;
    }
    double y = rc.top;
    if (style & DT_VCENTER) y = rc.top + (h - logical.height) / 2.0;
    else if (style & DT_BOTTOM) y = rc.bottom - logical.height;
    cairo_save(cr);
    cairo_rectangle(cr, rc.left, rc.top, w, h);
    cairo_clip(cr);
    SetColor(cr, TextColor(argb));
    cairo_move_to(cr, static_cast<int>(x), static_cast<int>(y));
    pango_cairo_show_layout(cr, layout);
    cairo_restore(cr);
    g_object_unref(layout);
}

namespace {

struct ImageDesc {
    CDuiString file;
    RECT source{0, 0, 0, 0};
    RECT dest{0, 0, 0, 0};
    RECT corner{0, 0, 0, 0};
    int fade = 255;
    bool hasSource = false, hasDest = false, xtiled = false, ytiled = false;
};

ImageDesc ParseDesc(const CDuiString& desc) {
    ImageDesc d;
    if (desc.find(L'=') == std::wstring::npos) {
        d.file = desc;
        return d;
    }
    size_t i = 0;
    while (i < desc.size()) {
        while (i < desc.size() && iswspace(desc[i])) ++i;
        size_t eq = desc.find(L'=', i);
        if (eq == std::wstring::npos) break;
        std::wstring key = desc.substr(i, eq - i);
        while (!key.empty() && iswspace(key.back())) key.pop_back();
        size_t q = eq + 1;
        while (q < desc.size() && iswspace(desc[q])) ++q;
        if (q >= desc.size()) break;
        wchar_t quote = desc[q];
        std::wstring value;
        if (quote == L'\'' || quote == L'"') {
            size_t end = desc.find(quote, q + 1);
            if (end == std::wstring::npos) end = desc.size();
            value = desc.substr(q + 1, end - q - 1);
            i = end + 1;
        } else {
            size_t end = q;
            while (end < desc.size() && !iswspace(desc[end])) ++end;
            value = desc.substr(q, end - q);
            i = end;
        }
        if (key == L"file" || key == L"res") d.file = value;
        else if (key == L"source") { d.source = ParseRect(value.c_str()); d.hasSource = true; }
        else if (key == L"dest") { d.dest = ParseRect(value.c_str()); d.hasDest = true; }
        else if (key == L"corner") d.corner = ParseRect(value.c_str());
        else if (key == L"fade") d.fade = std::clamp(ParseInt(value.c_str()), 0, 255);
        else if (key == L"xtiled") d.xtiled = ParseBool(value.c_str());
        else if (key == L"ytiled") d.ytiled = ParseBool(value.c_str());
    }
    return d;
}

void DrawPart(cairo_t* cr, cairo_surface_t* s, double sx, double sy, double sw, double sh, double dx, double dy,
              double dw, double dh, double alpha) {
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
    cairo_save(cr);
    cairo_rectangle(cr, dx, dy, dw, dh);
    cairo_clip(cr);
    cairo_translate(cr, dx, dy);
    cairo_scale(cr, dw / sw, dh / sh);
    cairo_set_source_surface(cr, s, -sx, -sy);
    cairo_pattern_set_filter(cairo_get_source(cr), (dw == sw && dh == sh) ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_BILINEAR);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    if (alpha >= 1.0) cairo_paint(cr);
    else cairo_paint_with_alpha(cr, alpha);
    cairo_restore(cr);
}

}  // namespace

bool DrawImageString(cairo_t* cr, const RECT& rcItem, const RECT& rcPaint, const CDuiString& desc,
                     const RECT* destOverride) {
    if (desc.empty()) return true;
    ImageDesc d = ParseDesc(desc);
    const TImageInfo* img = CPaintManagerUI::GetImageEx(d.file);
    if (!img) return false;
    RECT src = d.hasSource ? d.source : RECT{0, 0, img->nWidth, img->nHeight};
    src.right = std::min<LONG>(src.right, img->nWidth);
    src.bottom = std::min<LONG>(src.bottom, img->nHeight);
    RECT dst = rcItem;
    if (destOverride) dst = *destOverride;
    else if (d.hasDest) {
        dst = {rcItem.left + d.dest.left, rcItem.top + d.dest.top, rcItem.left + d.dest.right, rcItem.top + d.dest.bottom};
        dst.right = std::min(dst.right, rcItem.right);
        dst.bottom = std::min(dst.bottom, rcItem.bottom);
    }
    RECT clip;
    if (!IntersectRectUI(clip, dst, rcPaint)) return true;
    double alpha = d.fade / 255.0;
    cairo_surface_t* s = img->surface;
    double sw = src.right - src.left, sh = src.bottom - src.top;
    double dw = dst.right - dst.left, dh = dst.bottom - dst.top;
    if (d.xtiled || d.ytiled) {
        double stepX = d.xtiled ? sw : dw, stepY = d.ytiled ? sh : dh;
        for (double y = dst.top; y < dst.bottom; y += stepY)
            for (double x = dst.left; x < dst.right; x += stepX) {
                double w = std::min(stepX, dst.right - x), h = std::min(stepY, dst.bottom - y);
                DrawPart(cr, s, src.left, src.top, d.xtiled ? w : sw, d.ytiled ? h : sh, x, y, w, h, alpha);
            }
        return true;
    }
    const RECT& c = d.corner;
    if (c.left == 0 && c.top == 0 && c.right == 0 && c.bottom == 0) {
        DrawPart(cr, s, src.left, src.top, sw, sh, dst.left, dst.top, dw, dh, alpha);
        return true;
    }
    // Nine cells: the corners keep their size, the edges and the middle stretch.
    double sxs[4] = {static_cast<double>(src.left), static_cast<double>(src.left + c.left),
                     static_cast<double>(src.right - c.right), static_cast<double>(src.right)};
    double sys[4] = {static_cast<double>(src.top), static_cast<double>(src.top + c.top),
                     static_cast<double>(src.bottom - c.bottom), static_cast<double>(src.bottom)};
    double dxs[4] = {static_cast<double>(dst.left), static_cast<double>(dst.left + c.left),
                     static_cast<double>(dst.right - c.right), static_cast<double>(dst.right)};
    double dys[4] = {static_cast<double>(dst.top), static_cast<double>(dst.top + c.top),
                     static_cast<double>(dst.bottom - c.bottom), static_cast<double>(dst.bottom)};
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 3; ++col)
            DrawPart(cr, s, sxs[col], sys[r], sxs[col + 1] - sxs[col], sys[r + 1] - sys[r], dxs[col], dys[r],
                     dxs[col + 1] - dxs[col], dys[r + 1] - dys[r], alpha);
    return true;
}

cairo_t* MeasureContext() {
    static cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    static cairo_t* cr = cairo_create(surface);
    return cr;
}

}  // namespace skinui::render
