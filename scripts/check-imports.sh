#!/usr/bin/env bash
# Checks that the Windows executable imports the Win32 calls the program is built on.
set -euo pipefail
exe=${1:-build-win/mivora.exe}
calls=(RegisterClassExA CreateWindowExA DefWindowProcA ShowWindow SetWindowPos IsWindowVisible GetDesktopWindow
  GetMessageA TranslateMessage DispatchMessageA PostMessageA SendMessageA PostQuitMessage IsDialogMessageA
  SetTimer KillTimer MessageBoxA MessageBeep LoadIconA LoadCursorA LoadMenuA GetSubMenu TrackPopupMenu
  GetCursorPos SetActiveWindow GetSystemMetrics InvalidateRect InvalidateRgn UpdateWindow BeginPaint EndPaint
  CreateDialogParamA EnumWindows EnumChildWindows GetWindowTextA GetClassNameA GetWindowRect GetDC ReleaseDC
  GetKeyState LoadBitmapA Shell_NotifyIconA RegCreateKeyExA RegQueryValueExA RegSetValueExA RegCloseKey
  GetDeviceCaps GetStockObject CreateRectRgn SetRectRgn CombineRgn OffsetRgn GetRgnBox PtInRegion RectInRegion
  DeleteObject GetObjectA CreateCompatibleBitmap CreateCompatibleDC SelectObject GetMapMode SetMapMode BitBlt
  DeleteDC SelectClipRgn SaveDC RestoreDC SetGraphicsMode ModifyWorldTransform SetViewportOrgEx SetWindowOrgEx
  DPtoLP CreateFontIndirectA GetTextMetricsA GetDlgItem GetClientRect SetBkMode DrawTextA EndDialog
  CheckDlgButton IsDlgButtonChecked CheckRadioButton SetWindowTextA DialogBoxParamA WinHelpA LoadStringA
  GetModuleFileNameA GetFileAttributesA ChildWindowFromPointEx
  GetAncestor SendMessageTimeoutA RedrawWindow ExcludeClipRect CreateDIBSection)
# The 64-bit and the 32-bit executable each read by their own toolchain's objdump.
objdump=x86_64-w64-mingw32-objdump
if ! $objdump -f "$exe" | grep -q "file format pei-x86-64"; then objdump=i686-w64-mingw32-objdump; fi
imports=$($objdump -p "$exe" | awk '/DLL Name/ {dll=1} dll && NF >= 3 {print $NF}')
missing=()
for c in "${calls[@]}"; do grep -qx "$c" <<<"$imports" || missing+=("$c"); done
# 32-bit Windows names the pointer-sized class call SetClassLongA.
grep -qx -e SetClassLongPtrA -e SetClassLongA <<<"$imports" || missing+=(SetClassLongPtrA)
if [ ${#missing[@]} -gt 0 ]; then
  echo "$exe does not import: ${missing[*]}" >&2
  exit 1
fi
echo "$exe imports all ${#calls[@]} checked Win32 calls."
