// What the controls of the dialog manager share: notifications to the parent,
// the colours a parent gives them, and their text.
#pragma once

#include <string>

#include "user32/wnd.h"
#include "windows.h"

namespace vd::user {

// WM_COMMAND with the control's id and `code`, sent to its parent.
void NotifyParent(HWND control, WORD code);

// Asks the parent for the control's colours (WM_CTLCOLOR*): sets the text and
// background colours of `hdc` and answers the brush to fill with.
HBRUSH ParentBrush(HWND control, HDC hdc, UINT ctlColorMessage);

// The dialog base units of the font selected into `hdc`: the average width of
// "A".."Z" and "a".."z" rounded as Windows rounds it, and the character height.
bool AverageCharSize(HDC hdc, int *width, int *height);
// Whether the parent's UI state hides focus rectangles (WM_QUERYUISTATE).
bool FocusCuesHidden(HWND control);

// Draws a control's caption. Disabled text is embossed: light at one pixel
// down and right, grey on top, as Windows greys a caption.
void DrawCaption(HDC hdc, const std::string &text, RECT rc, UINT format, bool disabled);

// The data a control keeps for its window, created on first use.
template <typename T>
T *ControlDataOf(HWND hwnd) {
  Window *w = Find(hwnd);
  if (!w) return nullptr;
  if (!w->control) w->control = std::make_unique<T>();
  return static_cast<T *>(w->control.get());
}

// Registers a control class (CS_DBLCLKS, as the system's control classes are).
void RegisterControlClass(const char *name, WNDPROC proc);
void RegisterButtonClass();
void RegisterEditClass();
void RegisterStaticClass();

}  // namespace vd::user
