// What gdi32 offers the other libraries of the virtual desktop.
#pragma once

#include <pixman.h>

#include <cstdint>
#include <memory>

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
// Ends a window context, found by its handle alone (Windows releases a common
// context whatever window ReleaseDC names); false when hdc is not a live one.
bool ReleaseWindowDC(HDC hdc);
// The window a context draws on, or 0 for a memory context or a dead handle.
HWND WindowOfDC(HDC hdc);

// Paints a solid rectangle straight onto the screen, inside `clip` (screen coordinates).
void FillScreen(const RECT &screenRect, COLORREF color, const pixman_region32_t *clip);
// The colour of a solid brush (stock or created); false for a handle that is not a brush.
bool BrushColor(HBRUSH brush, COLORREF *color);

// Fonts. What a font is belongs to the text code; gdi32 keeps the handles,
// counts them (OBJ_FONT), selects them into contexts and deletes them.
struct FontData {
  virtual ~FontData() = default;
  // GetObjectA on the font: bytes written (or needed, when out is null).
  virtual int GetObject(int size, void *out) const {
    (void)size;
    (void)out;
    return 0;
  }
};
// A new font handle owning `data`; 0 past the GDI handle quota.
HFONT AddFont(std::unique_ptr<FontData> data);
// The data of a font (created or stock); nullptr for a handle that is not a font.
const FontData *FontDataOf(HFONT font);
// The GetStockObject index of a stock font (SYSTEM_FONT, DEFAULT_GUI_FONT, ...), or -1.
int StockFontIndex(HFONT font);
// The font selected into a context (SYSTEM_FONT in a fresh one); 0 for a dead handle.
HFONT CurrentFont(HDC hdc);
// Fonts the window manager draws with, as SystemParametersInfo names them.
// They are system objects: not counted, never deleted (SystemUiFont, font.h).
enum class UiFont { Caption, Menu, Message, Status, Count };

// Drawing for text and other code outside gdi32, clipped as every drawing of
// the context is. Coordinates are logical.
struct TextState {
  COLORREF text;
  COLORREF background;
  int bkMode;  // OPAQUE or TRANSPARENT
};
bool GetTextState(HDC hdc, TextState *out);
bool FillSolid(HDC hdc, const RECT &rect, COLORREF color);
// Paints `color` through an 8-bit coverage mask (255 opaque) whose top left is (x, y).
bool PaintCoverage(HDC hdc, int x, int y, int width, int height, const uint8_t *coverage, int stride,
                   COLORREF color);
// The screen point that is (0, 0) for a window context, and where it may draw
// now (screen coordinates, BeginPaint's clip and a selected region included).
// False for a memory context or a dead handle.
bool WindowDCArea(HDC hdc, pixman_region32_t *out, POINT *origin);

// Drops every GDI object and context (vd::Reset).
void ResetAll();

}  // namespace vd::gdi
// Note: CreateWindowDC(nullptr, ...) is the screen's own context (GetDC(NULL)):
// vd::user::DrawableArea(nullptr, ...) answers the whole screen for it.
