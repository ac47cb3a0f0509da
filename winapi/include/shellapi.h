// Notification-area icons, as shell32 declares them.
#ifndef MIVORA_WINAPI_SHELLAPI_H
#define MIVORA_WINAPI_SHELLAPI_H

#include "windows.h"

#ifdef __cplusplus
extern "C" {
#endif

#define NIM_ADD 0x00000000
#define NIM_MODIFY 0x00000001
#define NIM_DELETE 0x00000002
#define NIF_MESSAGE 0x00000001
#define NIF_ICON 0x00000002
#define NIF_TIP 0x00000004

typedef struct _NOTIFYICONDATAA {
  DWORD cbSize;
  HWND hWnd;
  UINT uID;
  UINT uFlags;
  UINT uCallbackMessage;
  HICON hIcon;
  CHAR szTip[128];
  DWORD dwState;
  DWORD dwStateMask;
  CHAR szInfo[256];
  UINT uTimeout;
  CHAR szInfoTitle[64];
  DWORD dwInfoFlags;
} NOTIFYICONDATAA, *PNOTIFYICONDATAA;

// The first version of the record ends after a 64-character tip: 88 bytes on
// 32-bit Windows, 104 with 64-bit handles.
#define NOTIFYICONDATAA_V1_SIZE (offsetof(NOTIFYICONDATAA, szTip) + 64)

BOOL WINAPI Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data);

#ifdef __cplusplus
}
#endif

#endif
