#include "x11/keys.h"

#define XK_MISCELLANY
#define XK_LATIN1
#define XK_XKB_KEYS
#include <X11/keysymdef.h>

#include "windows.h"

namespace vd::x11 {

int VirtualKeyForKeysym(uint32_t keysym) {
  if (keysym >= XK_a && keysym <= XK_z) return 'A' + int(keysym - XK_a);
  if (keysym >= XK_A && keysym <= XK_Z) return 'A' + int(keysym - XK_A);
  if (keysym >= XK_0 && keysym <= XK_9) return '0' + int(keysym - XK_0);
  if (keysym >= XK_KP_0 && keysym <= XK_KP_9) return '0' + int(keysym - XK_KP_0);
  if (keysym >= XK_F1 && keysym <= XK_F12) return VK_F1 + int(keysym - XK_F1);
  switch (keysym) {
    case XK_Tab:
    case XK_ISO_Left_Tab: return VK_TAB;
    case XK_Return:
    case XK_KP_Enter: return VK_RETURN;
    case XK_Escape: return VK_ESCAPE;
    case XK_BackSpace: return VK_BACK;
    case XK_space: return VK_SPACE;
    case XK_Delete:
    case XK_KP_Delete: return VK_DELETE;
    case XK_Home:
    case XK_KP_Home: return VK_HOME;
    case XK_End:
    case XK_KP_End: return VK_END;
    case XK_Left:
    case XK_KP_Left: return VK_LEFT;
    case XK_Right:
    case XK_KP_Right: return VK_RIGHT;
    case XK_Up:
    case XK_KP_Up: return VK_UP;
    case XK_Down:
    case XK_KP_Down: return VK_DOWN;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R: return VK_MENU;
    case XK_Shift_L:
    case XK_Shift_R: return VK_SHIFT;
    case XK_Control_L:
    case XK_Control_R: return VK_CONTROL;
    case XK_minus:
    case XK_KP_Subtract: return VK_OEM_MINUS;  // for negative numbers in edit boxes
  }
  return 0;
}

}  // namespace vd::x11
