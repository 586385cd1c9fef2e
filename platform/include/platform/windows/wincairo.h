// Painting with cairo: the drawing context behind an HDC.
#pragma once

#include <cairo.h>

#include "platform/windows/winuser.h"

namespace platform {

// During WM_PAINT, between BeginPaint and EndPaint: the cairo context of the window's client area,
// origin at the client's top-left corner, clipped to the area to repaint. Null for any other HDC.
cairo_t* DcCairo(HDC hdc);

}  // namespace platform
