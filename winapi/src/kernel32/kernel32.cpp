// The few kernel32 calls the program and the desktop use.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "core/platform.h"
#include "windows.h"

extern "C" {

DWORD WINAPI GetTickCount(void) { return DWORD(vd::ClockNow()); }

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
  // One module: the program. Its handle is the image base Windows uses for executables.
  return name ? nullptr : reinterpret_cast<HMODULE>(uintptr_t(0x400000));
}

// The program's own file: the executable the process runs. As on Windows, a
// name longer than the buffer is cut to size - 1 characters and the answer is
// `size`; 0 for another module or when the name cannot be read.
DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
  if ((module && module != GetModuleHandleA(nullptr)) || !fileName || size == 0) return 0;
  char path[4096];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return 0;
  DWORD n = DWORD(length) < size ? DWORD(length) : size - 1;
  std::memcpy(fileName, path, n);
  fileName[n] = '\0';
  return DWORD(length) < size ? n : size;
}

// A folder or a plain file; INVALID_FILE_ATTRIBUTES when there is nothing by that name.
DWORD WINAPI GetFileAttributesA(LPCSTR fileName) {
  struct stat st;
  if (!fileName || !*fileName || stat(fileName, &st) != 0) return INVALID_FILE_ATTRIBUTES;
  return S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
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
