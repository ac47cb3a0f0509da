// The settings record, its registry image and store; the settings dialog; the about box.
#ifndef MIVORA_SETTINGS_H
#define MIVORA_SETTINGS_H

#include "win32.h"

// The 24 user settings, in the order they are stored.
struct SettingsRecord {
  LONG branchCount;
  LONG flowersPerBranch;
  LONG flutter;
  LONG maxSideSpeed;
  LONG fallSpeed;
  LONG windowLayerThickness;
  LONG bottomLayerThickness;
  LONG showBranch;
  LONG fallingPetals;
  LONG windEnabled;
  LONG fallBehindWindows;
  LONG windowLayers;
  LONG bottomLayer;
  LONG flowerType;
  LONG tickInterval;
  LONG branchRedrawInterval;
  LONG calmPeriod;
  LONG maxWindStrength;
  LONG windWrap;
  LONG strengthenStep;
  LONG risePeriod;
  LONG blowPeriod;
  LONG weakenStep;
  LONG branchX;
};

#define SETTINGS_FIELD_COUNT 24
#define STORED_SETTINGS_SIZE 528
#define STORED_VERSION_OFFSET 0
#define STORED_FIELDS_OFFSET 32
#define SETTINGS_VERSION "1.0.0.5"
#define SETTINGS_KEY "Software\\Tolvane\\Mivora for Windows\\Settings"
#define SETTINGS_VALUE "Mivora settings"

extern SettingsRecord Settings;
extern BYTE StoredSettings[STORED_SETTINGS_SIZE];

void RestoreFactoryDefaults();
void CaptureSettings();
void AdoptStoredSettings();
void LoadSettings();
void SaveSettings();
// Brings loaded values that the model cannot hold into its range.
void ClampLoadedSettings();

// The settings dialog.
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void FillSettingsDialog(HWND dialog);
void ApplySettingsDialog(HWND dialog, int forced);
void SelectFlowerTypeButton(HWND dialog, LONG flowerType);
void OnBranchShownToggled(LONG now, LONG old);
void OnWindToggled(LONG now, LONG old);
void RefreshAfterReplace(HWND dialog, LONG oldFlowers, LONG oldWindowThickness, LONG oldBottomThickness);
// Control id and help context id pairs, ended by two zeros.
extern const DWORD SettingsHelpIds[];
// How the dialog reads its numbers: decimal, held at the 32-bit limits.
LONG ReadNumber(const char *text);
LONG SecondsToMilliseconds(LONG seconds);

// The about box: the font it made last, deleted at shutdown.
extern HFONT AboutFont;
// The about box's text control (1058), remembered when the box opens.
extern HWND AboutText;

// Style bits of CreatePointFont.
#define POINT_FONT_BOLD 1
#define POINT_FONT_ITALIC 2
#define POINT_FONT_UNDERLINE 4
#define POINT_FONT_STRIKEOUT 8

INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void PaintAboutBox();
// A font of the given height and width in tenths of a point (width 0: the
// face's own), in the logical units of `dc`, using the display's logical inch
// (logicalInch nonzero) or its physical one. The caller deletes it.
HFONT CreatePointFont(HDC dc, LPCSTR faceName, int height, int width, int style, int logicalInch);

// Context help: WinHelpA with the help file beside the program when there is
// one (its full name in HelpFile, found at start-up), otherwise the topic from
// the program's string table in a popup of the class HELP_POPUP_CLASS.
#define HELP_POPUP_CLASS "MivoraHelp"
#define HELP_TOPIC_SIZE 1024
extern char HelpFile[MAX_PATH];
extern HWND HelpPopup;                          // the popup on the screen, NULL when none
extern char HelpPopupTopic[HELP_TOPIC_SIZE];    // its topic: title, empty line, paragraphs
extern HFONT HelpTitleFont;                     // the bold font of its title, while it is shown
void FindHelpFile(LPCSTR programPath);
void RegisterHelpPopupClass();
DWORD HelpContextOf(HWND window);
void ShowHelpPopup(DWORD context, POINT at, int above);
void ShowControlHelp(HWND control);
void ShowContextHelp(HWND window, LPARAM point);
void CloseHelpPopup();
LRESULT CALLBACK HelpPopupProc(HWND popup, UINT message, WPARAM wParam, LPARAM lParam);

void ResetSettingsState();

#endif
