// The module's resources: the .res file compiled from res/mivora.rc, embedded
// at build time, read in its standard binary layout.
#pragma once

#include <cstddef>
#include <cstdint>

#include "windows.h"

namespace vd::res {

struct Blob {
  const uint8_t *data = nullptr;
  size_t size = 0;
};

// Looks a resource up by type and name, each an integer id (MAKEINTRESOURCE)
// or a string (compared without regard to case, as Windows does).
bool Find(LPCSTR type, LPCSTR name, Blob *out);
// Whether `instance` is the module whose resources these are.
bool IsModule(HINSTANCE instance);

}  // namespace vd::res
