// Resource ids of Mivora, shared by res/mivora.rc and the program.
#ifndef MIVORA_RESOURCE_H
#define MIVORA_RESOURCE_H

#define IDI_MIVORA 1        // window class icon
#define IDI_TRAY 1098       // notification-area icon
#define IDM_TRAY 172        // the notification icon's menu
#define IDM_EXIT 105        // its one command
#define IDD_SETTINGS 1020   // settings dialog
#define IDD_ABOUT 147       // about box
#define IDC_ABOUT_TEXT 1058 // the about box's surface for its texts

#endif
