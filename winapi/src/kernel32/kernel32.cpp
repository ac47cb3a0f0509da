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

// number x numerator / denominator, rounded half away from zero; -1 when the
// denominator is 0 or the result leaves the 32-bit range.
int WINAPI MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  long long product = (long long)number * numerator;
  long long d = denominator;
  if (d < 0) {
    d = -d;
    product = -product;
  }
  long long result = product >= 0 ? (product + d / 2) / d : (product - d / 2) / d;
  if (result > 2147483647LL || result < -2147483647LL) return -1;
  return int(result);
}

}  // extern "C"
