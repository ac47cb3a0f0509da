// The few kernel32 calls the program and the desktop use.
#include <chrono>
#include <thread>

#include "core/platform.h"
#include "windows.h"

extern "C" {

DWORD WINAPI GetTickCount(void) { return DWORD(vd::ClockNow()); }

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
  // One module: the program. Its handle is the image base Windows uses for executables.
  return name ? nullptr : reinterpret_cast<HMODULE>(uintptr_t(0x400000));
}

void WINAPI Sleep(DWORD ms) { vd::ClockWaitUntil(vd::ClockNow() + ms); }

}  // extern "C"
