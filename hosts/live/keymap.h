// SDL key codes to the desktop's virtual-key codes.
#pragma once

namespace live {

// The VK_ code for an SDL_Keycode, or 0 for a key the desktop does not know.
int VirtualKeyFor(int sdlKeycode);

}  // namespace live
