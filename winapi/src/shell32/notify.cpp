// Notification-area icons (Shell_NotifyIconA).
#include <algorithm>
#include <cstring>

#include "core/platform.h"
#include "shellapi.h"
#include "user32/wnd.h"

namespace vd::user {
namespace {

std::vector<TrayIconInfo> &Icons() {
  static std::vector<TrayIconInfo> icons;
  return icons;
}

void ResetIcons() { Icons().clear(); }
ResetHook iconsReset(11, ResetIcons);

// The record sizes Shell_NotifyIconA knows: the first version with 32-bit
// handles (88 bytes), the same with 64-bit handles, and the whole record.
bool KnownSize(DWORD size) {
  return size == 88 || size == NOTIFYICONDATAA_V1_SIZE || size >= sizeof(NOTIFYICONDATAA);
}

size_t TipLength(DWORD size) { return size < sizeof(NOTIFYICONDATAA) ? 64 : 128; }

void Apply(TrayIconInfo &icon, const NOTIFYICONDATAA &data) {
  icon.flags |= data.uFlags;
  if (data.uFlags & NIF_MESSAGE) icon.callbackMessage = data.uCallbackMessage;
  if (data.uFlags & NIF_ICON) icon.icon = data.hIcon;
  if (data.uFlags & NIF_TIP) icon.tip = std::string(data.szTip, strnlen(data.szTip, TipLength(data.cbSize)));
}

}  // namespace

const std::vector<TrayIconInfo> &TrayIconList() { return Icons(); }

}  // namespace vd::user

namespace vd {
std::vector<TrayIconInfo> TrayIcons() {
  std::vector<TrayIconInfo> list = user::Icons();
  for (size_t i = 0; i < list.size(); ++i) list[i].rect = user::TrayIconRect(int(i));
  return list;
}
}  // namespace vd

using namespace vd;
using namespace vd::user;

extern "C" BOOL WINAPI Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data) {
  if (!data || !KnownSize(data->cbSize) || !Find(data->hWnd)) return FALSE;
  auto &icons = Icons();
  auto it = std::find_if(icons.begin(), icons.end(),
                         [&](const TrayIconInfo &i) { return i.owner == data->hWnd && i.id == data->uID; });
  switch (message) {
    case NIM_ADD: {
      if (it != icons.end()) return FALSE;
      TrayIconInfo icon{};
      icon.owner = data->hWnd;
      icon.id = data->uID;
      Apply(icon, *data);
      icons.push_back(icon);
      break;
    }
    case NIM_MODIFY:
      if (it == icons.end()) return FALSE;
      Apply(*it, *data);
      break;
    case NIM_DELETE:
      if (it == icons.end()) return FALSE;
      icons.erase(it);
      break;
    default:
      return FALSE;
  }
  TaskbarChanged();
  return TRUE;
}
