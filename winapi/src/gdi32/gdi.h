// What gdi32 offers the other libraries of the virtual desktop.
#pragma once

#include <pixman.h>

#include "windows.h"

namespace vd::gdi {

// The pixel set of a live region, or nullptr for a handle that is not one.
pixman_region32_t *RegionData(HRGN rgn);

// Device contexts on windows. Drawing lands on the screen; the window manager
// says, at each operation, where the window may draw (vd::user::DrawableArea).
// `client` picks the client area (GetDC, BeginPaint) or the whole window.
HDC CreateWindowDC(HWND hwnd, bool client);
// BeginPaint's context is further clipped to the update region (screen coordinates).
void SetExtraClip(HDC hdc, const pixman_region32_t *screenRegion);
// Ends a window context; false when hdc is not a live context of hwnd.
bool ReleaseWindowDC(HWND hwnd, HDC hdc);
// The window a context draws on, or 0 for a memory context or a dead handle.
HWND WindowOfDC(HDC hdc);

// Paints a solid rectangle straight onto the screen, inside `clip` (screen coordinates).
void FillScreen(const RECT &screenRect, COLORREF color, const pixman_region32_t *clip);
// The colour of a solid brush (stock or created); false for a handle that is not a brush.
bool BrushColor(HBRUSH brush, COLORREF *color);

// Drops every GDI object and context (vd::Reset).
void ResetAll();

}  // namespace vd::gdi
