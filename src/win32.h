// The one place that picks the platform: the system's Win32 headers on Windows,
// the virtual desktop's (first on the include path) everywhere else.
#ifndef MIVORA_WIN32_H
#define MIVORA_WIN32_H

#include <windows.h>
#include <shellapi.h>

#endif
