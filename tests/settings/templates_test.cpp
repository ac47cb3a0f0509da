// The compiled resources as the program finds them: the settings dialog's and
// the about box's templates byte for byte (header, every item in order), and
// every picture with its size and depth.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "core/resources.h"
#include "resource.h"
#include "vdesktop.h"

namespace {

uint16_t Word(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Dword(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// A name or ordinal field of a template: "#n" for an ordinal, else the text.
struct Cursor {
  const uint8_t *p, *end;
  bool ok = true;
  bool Need(size_t n) { return ok = ok && size_t(end - p) >= n; }
  uint16_t W() { return Need(2) ? (p += 2, Word(p - 2)) : 0; }
  uint32_t D() { return Need(4) ? (p += 4, Dword(p - 4)) : 0; }
  int16_t S() { return int16_t(W()); }
  std::string NameOrOrdinal() {
    if (Need(2) && Word(p) == 0xFFFF) {
      p += 2;
      return "#" + std::to_string(W());
    }
    std::string s;
    for (uint16_t c = W(); ok && c; c = W()) s.push_back(c < 128 ? char(c) : '?');
    return s;
  }
  void Align(const uint8_t *base) {
    size_t pad = (4 - size_t(p - base) % 4) % 4;
    if (Need(pad)) p += pad;
  }
};

struct Item {
  std::string cls;  // "#128" Button, "#129" Edit, "#130" Static
  int id;
  int x, y, cx, cy;
  DWORD style, exStyle;
  std::string text;  // "#n" for a picture's resource ordinal
};

struct Template {
  bool extended = false;
  DWORD helpId = 0, style = 0, exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::string menu, cls, caption, face;
  int pointSize = 0, weight = 0, italic = 0, charset = 0;
  std::vector<Item> items;
  bool ok = false;
};

bool operator==(const Item &a, const Item &b) {
  return a.cls == b.cls && a.id == b.id && a.x == b.x && a.y == b.y && a.cx == b.cx && a.cy == b.cy &&
         a.style == b.style && a.exStyle == b.exStyle && a.text == b.text;
}

std::ostream &operator<<(std::ostream &out, const Item &i) {
  char styles[64];
  std::snprintf(styles, sizeof styles, "style %08lX ex %08lX", (unsigned long)i.style, (unsigned long)i.exStyle);
  return out << "{" << i.cls << " id " << i.id << " at " << i.x << "," << i.y << " " << i.cx << "x" << i.cy << " "
             << styles << " \"" << i.text << "\"}";
}

// Reads a DIALOG or DIALOGEX template as Windows lays it out in the resource.
Template Parse(const vd::res::Blob &blob) {
  Template t;
  Cursor c{blob.data, blob.data + blob.size};
  t.extended = blob.size >= 4 && Word(blob.data) == 1 && Word(blob.data + 2) == 0xFFFF;
  if (t.extended) {
    c.W();
    c.W();
    t.helpId = c.D();
    t.exStyle = c.D();
    t.style = c.D();
  } else {
    t.style = c.D();
    t.exStyle = c.D();
  }
  int count = c.W();
  t.x = c.S();
  t.y = c.S();
  t.cx = c.S();
  t.cy = c.S();
  t.menu = c.NameOrOrdinal();
  t.cls = c.NameOrOrdinal();
  t.caption = c.NameOrOrdinal();
  if (t.style & DS_SETFONT) {
    t.pointSize = c.W();
    if (t.extended) {
      t.weight = c.W();
      t.italic = c.Need(1) ? *c.p++ : 0;
      t.charset = c.Need(1) ? *c.p++ : 0;
    }
    t.face = c.NameOrOrdinal();
  }
  for (int i = 0; i < count && c.ok; ++i) {
    c.Align(blob.data);
    Item item{};
    if (t.extended) {
      c.D();  // help id
      item.exStyle = c.D();
      item.style = c.D();
    } else {
      item.style = c.D();
      item.exStyle = c.D();
    }
    item.x = c.S();
    item.y = c.S();
    item.cx = c.S();
    item.cy = c.S();
    item.id = t.extended ? int32_t(c.D()) : int16_t(c.W());
    item.cls = c.NameOrOrdinal();
    item.text = c.NameOrOrdinal();
    uint16_t extra = c.W();
    if (c.Need(extra)) c.p += extra;
    t.items.push_back(item);
  }
  t.ok = c.ok && int(t.items.size()) == count;
  return t;
}

bool FindTemplate(int id, Template *out) {
  vd::res::Blob blob;
  if (!vd::res::Find(RT_DIALOG, MAKEINTRESOURCEA(id), &blob)) return false;
  *out = Parse(blob);
  return true;
}

const std::string kButton = "#128", kEdit = "#129", kStatic = "#130";
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kCheck = kChild | BS_AUTOCHECKBOX | BS_NOTIFY | WS_TABSTOP;
constexpr DWORD kRadio = kChild | BS_AUTORADIOBUTTON | BS_NOTIFY | WS_TABSTOP;
constexpr DWORD kNumber = kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kLabelIcon = kChild | SS_ICON | SS_NOTIFY | WS_DISABLED;
constexpr DWORD kTypeIcon = kChild | SS_ICON | SS_NOTIFY;
constexpr DWORD kPicture = kChild | SS_BITMAP | SS_NOTIFY;
constexpr DWORD kPush = kChild | BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kDefault = kChild | BS_DEFPUSHBUTTON | WS_TABSTOP;
constexpr DWORD kText = kChild | SS_LEFT | WS_GROUP;
constexpr DWORD kEdge = WS_EX_STATICEDGE;

Item Check(int id, int x, int y) { return {kButton, id, x, y, 16, 8, kCheck, 0, ""}; }
Item Radio(int id, int x, int y) { return {kButton, id, x, y, 16, 8, kRadio, 0, ""}; }
Item Number(int id, int x, int y, int cx) { return {kEdit, id, x, y, cx, 14, kNumber, 0, ""}; }
Item LabelIcon(int id, int icon, int x, int y) { return {kStatic, id, x, y, 20, 20, kLabelIcon, kEdge, "#" + std::to_string(icon)}; }
Item TypeIcon(int id, int icon, int x, int y) { return {kStatic, id, x, y, 20, 20, kTypeIcon, kEdge, "#" + std::to_string(icon)}; }
Item Picture(int id, int bitmap, int x, int y, int cx = 44, int cy = 21) {
  return {kStatic, id, x, y, cx, cy, kPicture, kEdge, "#" + std::to_string(bitmap)};
}
Item Push(int id, const char *text, int x, int y, int cx, int cy) { return {kButton, id, x, y, cx, cy, kPush, 0, text}; }

// The settings dialog's controls in template order, which is the tab order.
const std::vector<Item> kSettingsItems = {
    Check(1013, 71, 48),
    Check(1014, 71, 70),
    Check(1015, 71, 24),
    Check(1016, 71, 117),
    Check(1017, 71, 140),
    Check(1018, 71, 94),
    LabelIcon(1094, 1094, 32, 16),
    LabelIcon(1021, 1021, 32, 40),
    LabelIcon(1022, 1022, 32, 64),
    LabelIcon(1023, 1023, 32, 88),
    LabelIcon(1090, 514, 32, 112),
    LabelIcon(1091, 1025, 32, 136),
    Picture(1042, 134, 89, 40),
    Picture(1046, 138, 89, 136),
    Picture(1043, 135, 89, 64),
    Picture(1044, 136, 89, 16),
    Picture(1045, 137, 89, 112),
    Picture(1047, 139, 89, 88),
    Radio(1027, 142, 24),
    Radio(1028, 142, 47),
    Radio(1031, 142, 71),
    Number(1049, 5, 20, 22),
    Number(1056, 5, 44, 22),
    Number(1057, 5, 67, 22),
    Number(1058, 5, 91, 22),
    Number(1059, 5, 115, 22),
    Number(1060, 5, 139, 22),
    Push(1052, "About...", 5, 192, 50, 15),
    Push(1054, "Factory settings", 131, 216, 59, 15),
    {kStatic, -1, 6, 4, 259, 8, kText, 0, "Mivora: petals that fall on your desktop"},
    Push(1074, "Save settings", 5, 216, 50, 15),
    Push(1075, "Restore settings", 61, 216, 64, 15),
    Number(1076, 204, 19, 28),
    Number(1078, 204, 67, 28),
    Number(1077, 204, 43, 28),
    Picture(1093, 260, 238, 16, 20, 20),
    Picture(1048, 136, 238, 40),
    Picture(1051, 255, 238, 64),
    Push(1, "OK", 260, 216, 22, 14),
    TypeIcon(1096, 1095, 159, 16),
    TypeIcon(1097, 1096, 159, 40),
    TypeIcon(1098, 1097, 159, 64),
    TypeIcon(1099, 1100, 159, 88),
    Radio(1032, 142, 94),
    TypeIcon(1100, 1101, 159, 112),
    Radio(1033, 142, 119),
    TypeIcon(1101, 1102, 159, 136),
    Radio(1034, 142, 142),
    Number(1079, 204, 187, 28),
    Picture(1053, 254, 238, 184),
    Number(1080, 204, 91, 28),
    Picture(1055, 256, 238, 88),
    Number(1081, 204, 115, 28),
    Picture(1061, 258, 238, 112),
    Number(1082, 204, 139, 28),
    Picture(1062, 257, 238, 136),
    Number(1083, 204, 163, 28),
    Picture(1063, 259, 238, 160),
    TypeIcon(1102, 1103, 159, 160),
    Radio(1035, 142, 167),
    LabelIcon(1092, 1105, 32, 160),
    Number(1065, 6, 163, 22),
    {kButton, 1087, 205, 216, 50, 14, kDefault, 0, "Apply"},
};

TEST(ResourceCheck, SettingsDialogTemplateIsExactlyAsDesigned) {
  vd::Reset();
  Template t;
  ASSERT_TRUE(FindTemplate(IDD_SETTINGS, &t));
  ASSERT_TRUE(t.ok);
  EXPECT_TRUE(t.extended);
  EXPECT_EQ(t.style, DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_SETFONT | DS_3DLOOK | DS_CENTER |
                           DS_SETFOREGROUND | DS_CONTEXTHELP));  // no WS_VISIBLE: created hidden
  EXPECT_EQ(t.exStyle, DWORD(WS_EX_CONTEXTHELP | WS_EX_CLIENTEDGE));
  EXPECT_EQ(t.helpId, 0u);
  EXPECT_EQ(t.x, 100);
  EXPECT_EQ(t.y, 100);
  EXPECT_EQ(t.cx, 292);
  EXPECT_EQ(t.cy, 241);
  EXPECT_EQ(t.menu, "");
  EXPECT_EQ(t.cls, "");
  EXPECT_EQ(t.caption, "Mivora");
  EXPECT_EQ(t.pointSize, 8);
  EXPECT_EQ(t.face, "MS Sans Serif");
  EXPECT_EQ(t.weight, 0);
  EXPECT_EQ(t.italic, 0);
  ASSERT_EQ(t.items.size(), kSettingsItems.size());
  for (size_t i = 0; i < kSettingsItems.size(); ++i) EXPECT_EQ(t.items[i], kSettingsItems[i]) << "item " << i;
  // Every id is unique but the text line's, as the dialog code finds controls by id.
  std::set<int> ids;
  for (const Item &item : t.items) EXPECT_TRUE(item.id == -1 || ids.insert(item.id).second) << item.id;
}

TEST(ResourceCheck, AboutBoxTemplateIsExactlyAsDesigned) {
  vd::Reset();
  Template t;
  ASSERT_TRUE(FindTemplate(IDD_ABOUT, &t));
  ASSERT_TRUE(t.ok);
  EXPECT_FALSE(t.extended);
  EXPECT_EQ(t.style, DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_SETFOREGROUND | DS_SYSMODAL));
  EXPECT_EQ(t.exStyle, 0u);
  EXPECT_EQ(t.x, 0);
  EXPECT_EQ(t.y, 0);
  EXPECT_EQ(t.cx, 306);
  EXPECT_EQ(t.cy, 220);
  EXPECT_EQ(t.menu, "");
  EXPECT_EQ(t.cls, "");
  EXPECT_EQ(t.caption, "About Mivora");
  EXPECT_EQ(t.pointSize, 8);
  EXPECT_EQ(t.face, "MS Sans Serif");
  const std::vector<Item> want = {
      {kButton, IDOK, 128, 199, 50, 14, kDefault, 0, "OK"},
      {kStatic, IDC_ABOUT_TEXT, 7, 7, 292, 188, kText, 0, ""},
  };
  ASSERT_EQ(t.items.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(t.items[i], want[i]) << "item " << i;
}

// A packed DIB's header fields: width, height, bits per pixel, colours in its table.
struct DibInfo {
  int width = 0, height = 0, bits = 0, colours = 0;
  size_t size = 0;
};

DibInfo ReadDib(const vd::res::Blob &blob) {
  DibInfo d;
  if (blob.size < 40 || Dword(blob.data) != 40) return d;
  d.width = int32_t(Dword(blob.data + 4));
  d.height = int32_t(Dword(blob.data + 8));
  d.bits = Word(blob.data + 14);
  uint32_t used = Dword(blob.data + 32);
  d.colours = d.bits <= 8 ? int(used ? used : 1u << d.bits) : int(used);
  d.size = blob.size;
  return d;
}

const int kDialogBitmaps[] = {134, 135, 136, 137, 138, 139, 254, 255, 256, 257, 258, 259, 260};
const int kDialogIcons[] = {514, 1021, 1022, 1023, 1025, 1094, 1095, 1096, 1097, 1100, 1101, 1102, 1103, 1105};

TEST(ResourceCheck, DialogBitmapsAre64By32With256Colours) {
  vd::Reset();
  for (int id : kDialogBitmaps) {
    SCOPED_TRACE("bitmap " + std::to_string(id));
    vd::res::Blob blob;
    ASSERT_TRUE(vd::res::Find(RT_BITMAP, MAKEINTRESOURCEA(id), &blob));
    DibInfo d = ReadDib(blob);
    EXPECT_EQ(d.width, 64);
    EXPECT_EQ(d.height, 32);
    EXPECT_EQ(d.bits, 8);
    EXPECT_EQ(d.colours, 256);
    EXPECT_GE(d.size, 40u + 256u * 4u + 64u * 32u);
    HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    EXPECT_EQ(info.bmWidth, 64);
    EXPECT_EQ(info.bmHeight, 32);
    DeleteObject(bitmap);
  }
}

// The images of an icon group: (width, height, bits) of each, read from its RT_ICON entries.
std::vector<DibInfo> IconImages(int id) {
  std::vector<DibInfo> out;
  vd::res::Blob group;
  if (!vd::res::Find(RT_GROUP_ICON, MAKEINTRESOURCEA(id), &group) || group.size < 6) return out;
  for (unsigned i = 0; i < Word(group.data + 4) && 6 + 14 * (i + 1) <= group.size; ++i) {
    const uint8_t *entry = group.data + 6 + 14 * i;
    vd::res::Blob image;
    DibInfo d;
    if (vd::res::Find(RT_ICON, MAKEINTRESOURCEA(Word(entry + 12)), &image)) d = ReadDib(image);
    // The group entry and the image agree; the image is twice as tall (colour and AND mask).
    EXPECT_EQ(entry[0], d.width) << "icon " << id;
    EXPECT_EQ(entry[1] * 2, d.height) << "icon " << id;
    EXPECT_EQ(Word(entry + 6), d.bits) << "icon " << id;
    size_t mask = size_t((d.width + 31) / 32) * 4 * size_t(d.height / 2);
    size_t colour = size_t(d.width) * size_t(d.height / 2) * size_t(d.bits) / 8;
    EXPECT_EQ(d.size, 40 + 4 * size_t(d.bits <= 8 ? d.colours : 0) + colour + mask) << "icon " << id;
    d.height /= 2;
    out.push_back(d);
  }
  return out;
}

TEST(ResourceCheck, DialogIconsHaveOne32By32ImageWithAMask) {
  vd::Reset();
  // Every dialog icon sits in a 20 x 20 unit static and is shown at 32 x 32, never small.
  for (int id : kDialogIcons) {
    SCOPED_TRACE("icon " + std::to_string(id));
    std::vector<DibInfo> images = IconImages(id);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].width, 32);
    EXPECT_EQ(images[0].height, 32);
    EXPECT_EQ(images[0].bits, 8);
    EXPECT_NE(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id)), nullptr);
  }
  // The class icon and the notification icon are also shown small.
  for (int id : {IDI_MIVORA, IDI_TRAY}) {
    std::vector<int> sizes;
    for (const DibInfo &d : IconImages(id)) sizes.push_back(d.width);
    EXPECT_EQ(sizes, (std::vector<int>{16, 32})) << "icon " << id;
  }
}

TEST(ResourceCheck, EveryPictureOfTheSettingsDialogIsOneOfItsPictureResources) {
  vd::Reset();
  Template t;
  ASSERT_TRUE(FindTemplate(IDD_SETTINGS, &t));
  std::set<int> bitmaps, icons;
  for (const Item &item : t.items) {
    if (item.cls != kStatic || item.text.empty() || item.text[0] != '#') continue;
    int id = std::atoi(item.text.c_str() + 1);
    ((item.style & 0x1F) == SS_ICON ? icons : bitmaps).insert(id);
  }
  EXPECT_EQ(bitmaps, std::set<int>(std::begin(kDialogBitmaps), std::end(kDialogBitmaps)));
  EXPECT_EQ(icons, std::set<int>(std::begin(kDialogIcons), std::end(kDialogIcons)));
}

}  // namespace
