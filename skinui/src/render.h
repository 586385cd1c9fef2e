// Drawing helpers over cairo and Pango, shared by the controls.
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include "skinui/manager.h"

namespace skinui::render {

void SetColor(cairo_t* cr, DWORD argb);
// Text colours with a zero alpha byte are taken as opaque (layouts write "#00RRGGBB" rarely,
// and a colour given as a plain number means RGB).
DWORD TextColor(DWORD argb);
void FillRect(cairo_t* cr, const RECT& rc, DWORD argb);
void RoundRectPath(cairo_t* cr, const RECT& rc, int rx, int ry);
void DrawBorder(cairo_t* cr, const RECT& rc, int size, DWORD argb, SIZE round);
void DrawLine(cairo_t* cr, int x1, int y1, int x2, int y2, int width, DWORD argb);

// A Pango layout for the text in the manager's font (created on a cairo context).
PangoLayout* MakeLayout(cairo_t* cr, CPaintManagerUI* manager, int font, const CDuiString& text);
void DrawText(cairo_t* cr, CPaintManagerUI* manager, const RECT& rc, const CDuiString& text, DWORD argb,
              int font, UINT style);
PangoFontDescription* FontDescription(TFontInfo* info);

// Image descriptions: "x.png" or "file='x.png' source='l,t,r,b' dest='l,t,r,b' corner='l,t,r,b'
// fade='200' xtiled='true'". Drawn over rcItem (or dest inside it).
bool DrawImageString(cairo_t* cr, const RECT& rcItem, const RECT& rcPaint, const CDuiString& desc,
                     const RECT* destOverride = nullptr);

// Scratch context for measuring text.
cairo_t* MeasureContext();

}  // namespace skinui::render
