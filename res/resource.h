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

// Pictures of the settings dialog: 64 x 32 bitmaps.
#define IDB_FALLING 134          // falling petals
#define IDB_WIND 135             // a cloud face blowing
#define IDB_BRANCH 136           // a blossoming branch
#define IDB_WINDOW_LAYERS 137    // petals lying on a window's title bar
#define IDB_BOTTOM_LAYER 138     // petals lying on the taskbar
#define IDB_FALL_BEHIND 139      // petals above and below a window's title bar
#define IDB_WINDSOCK 254         // a red and white windsock
#define IDB_GRAPH_START 255      // the wind-cycle graph: first low stretch marked
#define IDB_GRAPH_RISE 256       //   rising slope marked
#define IDB_GRAPH_FALL 257       //   falling slope marked
#define IDB_GRAPH_TOP 258        //   top plateau marked
#define IDB_GRAPH_END 259        //   final low stretch marked
#define IDB_TICK 260             // small falling petals

// Icons of the settings dialog (32 x 32).
#define IDI_WINDOW_LAYER 514     // petals on a title bar beside a vertical ruler
#define IDI_FLUTTER 1021         // petals between arrows on a zig-zag path
#define IDI_SIDE_SPEED 1022      // petals under a rightward arrow above a ruler
#define IDI_FALL_SPEED 1023      // petals beside a downward arrow and a ruler
#define IDI_BOTTOM_LAYER 1025    // petals on a taskbar beside a vertical ruler
#define IDI_FLOWERS 1094         // a blossom under a twig
#define IDI_TYPE1 1095           // the seven flower types
#define IDI_TYPE2 1096
#define IDI_TYPE3 1097
#define IDI_TYPE4 1100
#define IDI_TYPE5 1101
#define IDI_TYPE6 1102
#define IDI_TYPE7 1103
#define IDI_BRANCH_X 1105        // the branch above a rightward arrow and a ruler

// Controls of the settings dialog.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)          // the text line naming the product
#endif
#define IDC_FALLING 1013         // check boxes
#define IDC_WIND 1014
#define IDC_SHOW_BRANCH 1015
#define IDC_WINDOW_LAYERS 1016
#define IDC_BOTTOM_LAYER 1017
#define IDC_FALL_BEHIND 1018
#define IDC_TYPE1 1027           // flower-type radio buttons (1029, 1030 unused)
#define IDC_TYPE2 1028
#define IDC_TYPE3 1031
#define IDC_TYPE4 1032
#define IDC_TYPE5 1033
#define IDC_TYPE6 1034
#define IDC_TYPE7 1035
#define IDC_FLOWERS 1049         // edit boxes
#define IDC_FLUTTER 1056
#define IDC_SIDE_SPEED 1057
#define IDC_FALL_SPEED 1058
#define IDC_WINDOW_THICKNESS 1059
#define IDC_BOTTOM_THICKNESS 1060
#define IDC_BRANCH_X 1065
#define IDC_TICK_INTERVAL 1076
#define IDC_BRANCH_REDRAW 1077
#define IDC_CALM_PERIOD 1078
#define IDC_WIND_STRENGTH 1079
#define IDC_STRENGTHEN_STEP 1080
#define IDC_RISE_PERIOD 1081
#define IDC_WEAKEN_STEP 1082
#define IDC_BLOW_PERIOD 1083
#define IDC_ABOUT 1052           // push buttons; OK is IDOK
#define IDC_FACTORY 1054
#define IDC_SAVE 1074
#define IDC_RESTORE 1075
#define IDC_APPLY 1087
#define IDC_FALLING_PICTURE 1042        // clickable pictures of the check boxes
#define IDC_WIND_PICTURE 1043
#define IDC_BRANCH_PICTURE 1044
#define IDC_WINDOW_LAYERS_PICTURE 1045
#define IDC_BOTTOM_LAYER_PICTURE 1046
#define IDC_FALL_BEHIND_PICTURE 1047
#define IDC_TYPE1_ICON 1096             // clickable icons of the flower types
#define IDC_TYPE2_ICON 1097
#define IDC_TYPE3_ICON 1098
#define IDC_TYPE4_ICON 1099
#define IDC_TYPE5_ICON 1100
#define IDC_TYPE6_ICON 1101
#define IDC_TYPE7_ICON 1102
#define IDC_FLOWERS_ICON 1094           // label icons of the left column (disabled)
#define IDC_FLUTTER_ICON 1021
#define IDC_SIDE_SPEED_ICON 1022
#define IDC_FALL_SPEED_ICON 1023
#define IDC_WINDOW_THICKNESS_ICON 1090
#define IDC_BOTTOM_THICKNESS_ICON 1091
#define IDC_BRANCH_X_ICON 1092
#define IDC_TICK_PICTURE 1093           // label pictures of the right column
#define IDC_REDRAW_PICTURE 1048
#define IDC_CALM_PICTURE 1051
#define IDC_WIND_STRENGTH_PICTURE 1053
#define IDC_STRENGTHEN_PICTURE 1055
#define IDC_RISE_PICTURE 1061
#define IDC_WEAKEN_PICTURE 1062
#define IDC_BLOW_PICTURE 1063

#endif
