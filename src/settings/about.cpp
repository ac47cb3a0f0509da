// The about box, which draws its title and description on every paint, and
// the point-size fonts it draws them with.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "resource.h"
#include "settings/settings.h"

HFONT AboutFont;
HWND AboutText;

static const char AboutTitle[] = "*** Mivora ***";

// Sixteen lines: two empty ones under the title, the version, then a few
// short paragraphs.
static const char AboutDescription[] =
    "\n"
    "\n"
    "Mivora version 1.0.0.5 for Windows 95/98/NT\n"
    "\n"
    "A flowering branch hangs from the top of your desktop.\n"
    "Its petals break away, drift in gusts of wind, and settle\n"
    "on the tops of your windows and at the bottom of the screen.\n"
    "\n"
    "Double-click the Mivora icon in the notification area\n"
    "to show or hide the settings; every change shows at once.\n"
    "Save settings keeps them for the next start.\n"
    "\n"
    "To end Mivora, right-click the icon and choose Exit.\n"
    "\n"
    "Mivora draws on your desktop and changes nothing else.\n"
    "It reads its pictures from itself and writes no files.\n";

// Points (1/72 inch) times pixels per inch, truncated toward zero, kept
// within what an integer holds so that no input can overflow it.
static LONG DevicePoints(int tenths, float pixelsPerInch) {
  float value = tenths * pixelsPerInch / 72;
  if (!(value > -1e9f && value < 1e9f)) return 0;
  return (LONG)value;
}

HFONT CreatePointFont(HDC dc, LPCSTR faceName, int height, int width, int style, int logicalInch) {
  // 1. Only the mapping mode's scaling may affect the conversion.
  int saved = SaveDC(dc);
  SetGraphicsMode(dc, GM_ADVANCED);
  ModifyWorldTransform(dc, NULL, MWT_IDENTITY);
  SetViewportOrgEx(dc, 0, 0, NULL);
  SetWindowOrgEx(dc, 0, 0, NULL);

  // 2. Pixels per inch, logical or physical.
  float pixelsX, pixelsY;
  int sizeX = GetDeviceCaps(dc, HORZSIZE), sizeY = GetDeviceCaps(dc, VERTSIZE);
  if (logicalInch || sizeX <= 0 || sizeY <= 0) {
    // A display that does not know its size in millimetres has only its logical inch.
    pixelsX = (float)GetDeviceCaps(dc, LOGPIXELSX);
    pixelsY = (float)GetDeviceCaps(dc, LOGPIXELSY);
  } else {
    pixelsX = (float)(GetDeviceCaps(dc, HORZRES) * 25.4 / sizeX);
    pixelsY = (float)(GetDeviceCaps(dc, VERTRES) * 25.4 / sizeY);
  }

  // 3. The size as a point in device units; 4. in logical units.
  POINT size;
  size.x = DevicePoints(width, pixelsX);
  size.y = DevicePoints(height, pixelsY);
  DPtoLP(dc, &size, 1);

  // 5. A negative height asks for the character height; tenths become points.
  LONG absX = std::labs(size.x), absY = std::labs(size.y);
  LOGFONTA font;
  std::memset(&font, 0, sizeof font);
  font.lfHeight = -(LONG)(absY / 10.0 + 0.5);
  font.lfWeight = (style & POINT_FONT_BOLD) ? FW_BOLD : 0;
  font.lfItalic = (style & POINT_FONT_ITALIC) ? 1 : 0;
  font.lfUnderline = (style & POINT_FONT_UNDERLINE) ? 1 : 0;
  font.lfStrikeOut = (style & POINT_FONT_STRIKEOUT) ? 1 : 0;
  std::strncpy(font.lfFaceName, faceName, LF_FACESIZE - 1);
  HFONT made = CreateFontIndirectA(&font);

  // 6. A width scales the face's own average width by width / height.
  if (width != 0 && made) {
    TEXTMETRICA metrics;
    HGDIOBJ previous = SelectObject(dc, made);
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, previous);
    DeleteObject(made);
    // A zero height has no ratio: the width is then taken as it is.
    font.lfWidth = (LONG)(absX * (double)metrics.tmAveCharWidth / (absY ? absY : absX ? absX : 1) + 0.5);
    made = CreateFontIndirectA(&font);
  }

  // 7. The context as it was.
  RestoreDC(dc, saved);
  return made;
}

// Selects a font just made and keeps it as AboutFont; the font it replaces
// is no longer selected anywhere then, and goes.
static void SelectAboutFont(HDC dc, HFONT font) {
  if (!font || !SelectObject(dc, font)) {
    if (font) DeleteObject(font);
    return;
  }
  if (AboutFont) DeleteObject(AboutFont);
  AboutFont = font;
}

void PaintAboutBox() {
  // 1. The control paints itself empty first.
  InvalidateRect(AboutText, NULL, TRUE);
  UpdateWindow(AboutText);

  // 2. Its whole client area is the drawing rectangle.
  RECT rect;
  GetClientRect(AboutText, &rect);
  HDC dc = GetDC(AboutText);
  SetBkMode(dc, TRANSPARENT);

  // 3. The description, centred, wrapped at word breaks.
  SelectAboutFont(dc, CreatePointFont(dc, "Arial", 76, 0, 0, 0));
  if (!DrawTextA(dc, AboutDescription, (int)std::strlen(AboutDescription), &rect, DT_CENTER | DT_WORDBREAK))
    MessageBeep(0);

  // 4. The title on the first line, above the version.
  SelectAboutFont(dc, CreatePointFont(dc, "Arial", 125, 0, POINT_FONT_BOLD, 0));
  DrawTextA(dc, AboutTitle, (int)std::strlen(AboutTitle), &rect, DT_CENTER | DT_WORDBREAK);

  // 5. The title's font stays in AboutFont until the next paint or shutdown.
  ReleaseDC(AboutText, dc);
}

INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  switch (message) {
    case WM_INITDIALOG:
      AboutText = GetDlgItem(dialog, IDC_ABOUT_TEXT);
      return TRUE;
    case WM_PAINT:
      PaintAboutBox();
      return FALSE;  // the default handling validates the box
    case WM_CLOSE:
      EndDialog(dialog, 0);
      return FALSE;
    case WM_COMMAND:
      // Only OK ends the box; Esc's IDCANCEL does nothing.
      if (LOWORD(wParam) == IDOK) EndDialog(dialog, 0);
      return FALSE;
  }
  return FALSE;
}
