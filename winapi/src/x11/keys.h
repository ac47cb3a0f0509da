// X keysyms to Win32 virtual keys: the keys the program's windows take.
#pragma once

#include <cstdint>

namespace vd::x11 {

// The virtual key for an X keysym as it is without modifiers (level 0), or 0
// for a key the desktop has no use for.
int VirtualKeyForKeysym(uint32_t keysym);

}  // namespace vd::x11
