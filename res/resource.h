// Resource and control identifiers of Brontel Vask. The numbers are fixed:
// other programs and earlier settings rely on them.
#pragma once

// Dialog templates (the settings sheet's pages)
#define IDD_ABOUT        105
#define IDD_TRACE        143
#define IDD_OPTIONS      144
#define IDD_CONNECTIONS  145
#define IDD_FORMAT       159
#define IDD_RECENT_BARCODES 170   // the Recent Barcodes window
#define IDD_BARCODE_RULES   171   // the Barcode Rules dialog, opened from the Format page
#define IDD_ALLOWED_PROGRAMS 172  // the Allowed Programs dialog, opened from the Format page
#define IDD_PROFILES         173  // the Profiles dialog, opened from the Format page

// Menu, icon, strings, accelerators
#define IDR_TRAYMENU     137
#define IDI_VASK         152
#define IDI_VASK_WAITING 153   // tray: barcodes held, or typing paused
#define IDI_VASK_LOST    154   // tray: no scanner connected, or it was lost
#define IDI_VASK_NO_SDK  155   // tray: the scanner SDK is missing
#define IDS_APP_TITLE    103   // "BrontelVask": the hidden main window's title
#define IDS_WINDOW_CLASS 109   // "Brontel Vask": its class name
#define IDS_RESUME_TYPING 110  // "Resume Ty&ping": the tray menu's Pause Typing item while paused
#define IDC_ACCELERATORS 109
#define IDM_HELP_ABOUT   104   // Alt+? and Alt+/; left to default processing

// Tray menu commands
#define IDM_OPEN         32778
#define IDM_EXIT         32779
#define IDM_ABOUT        32780
#define IDM_RECENT_BARCODES 32781
#define IDM_PAUSE_TYPING 32782

// About page
#define IDC_PROGRAM_VERSION 1028
#define IDC_SDK_VERSION     1029

// Connections page
#define IDC_SCANNER_LIST    1044
#define IDC_ACTIVATE        1045
#define IDC_BLUETOOTH       1048
#define IDC_SERIAL_PORTS    1049
#define IDC_FIND_SCANNERS   1053
#define IDC_STATUS_LINE     1056
#define IDC_FROM_PORT       1154
#define IDC_TO_PORT         1155

// Options page
#define IDC_ACTIVATE_ON_START 1043
#define IDC_RUN_AT_STARTUP    1151
#define IDC_MINIMIZE_ON_START 1152
#define IDC_SHOW_BALLOONS     1190   // per user, or set by policy (then disabled)
#define IDC_KEY_DELAY         1191   // the typing pace, per user or by policy
#define IDC_BARCODE_DELAY     1192
#define IDC_SCAN_LOG          1193   // the scan log, per user or by policy
#define IDC_SCAN_LOG_DAYS     1194
#define IDC_KEY_PRESSES       1195   // characters as key presses, per user or by policy

// Trace page
#define IDC_TRACE_TEXT     1120
#define IDC_TRACE_VASK     1015
#define IDC_TRACE_SCANNER  1016
#define IDC_TRACE_CLEAR    1020

// Format page
#define IDC_STRIP_COUNT     1160
#define IDC_PREFIX_CTRL     1161
#define IDC_PREFIX_CHAR     1162
#define IDC_SUFFIX1_CTRL    1163
#define IDC_SUFFIX1_CHAR    1164
#define IDC_SUFFIX2_CTRL    1165
#define IDC_SUFFIX2_CHAR    1166
#define IDC_FORMAT_RULES    1167   // "&Rules...": opens the Barcode Rules dialog
#define IDC_FORMAT_ALLOWED  1168   // "&Allowed Programs...": opens the Allowed Programs dialog
#define IDC_FORMAT_PROFILES 1169   // "Prof&iles...": opens the Profiles dialog

// Barcode Rules dialog; its labels have ids too, since they follow its size
#define IDC_RULES_TEXT            1200
#define IDC_RULES_TEXT_LABEL      1201
#define IDC_RULES_POLICY_NOTE     1202
#define IDC_GROUP_BALLOONS        1213
#define IDC_GROUP_PACE            1214
#define IDC_GROUP_SCAN_LOG        1215
#define IDC_RULES_STATUS          1203
#define IDC_RULES_ENCODING_LABEL  1204
#define IDC_RULES_ENCODING        1205
#define IDC_RULES_SEPARATOR_LABEL 1206
#define IDC_RULES_SEPARATOR       1207
#define IDC_RULES_SAMPLE_LABEL    1208
#define IDC_RULES_SAMPLE          1209
#define IDC_RULES_NEWEST          1210
#define IDC_RULES_PREVIEW_LABEL   1211
#define IDC_RULES_PREVIEW         1212

// Allowed Programs dialog; its labels have ids too, since they follow its size
#define IDC_ALLOWED_TEXT          1220
#define IDC_ALLOWED_LABEL         1221
#define IDC_ALLOWED_POLICY_NOTE   1222
#define IDC_ALLOWED_STATUS        1223
#define IDC_ALLOWED_IN_FRONT      1224

// Profiles dialog: the list, and the fields of the profile selected in it
#define IDC_PROFILES_LIST_LABEL   1230
#define IDC_PROFILES_LIST         1231
#define IDC_PROFILES_ADD          1232
#define IDC_PROFILES_REMOVE       1233
#define IDC_PROFILES_POLICY_NOTE  1234
#define IDC_PROFILES_STATUS       1235
#define IDC_PROFILE_NAME          1236
#define IDC_PROFILE_PROGRAM       1237
#define IDC_PROFILE_IN_FRONT      1238
#define IDC_PROFILE_TITLE         1239
#define IDC_PROFILE_PREFIX        1240
#define IDC_PROFILE_PREFIX_CTRL   1241
#define IDC_PROFILE_SUFFIX1       1242
#define IDC_PROFILE_SUFFIX1_CTRL  1243
#define IDC_PROFILE_SUFFIX2       1244
#define IDC_PROFILE_SUFFIX2_CTRL  1245
#define IDC_PROFILE_STRIP         1246
#define IDC_PROFILE_KEY_PRESSES   1247
#define IDC_PROFILE_KEY_DELAY     1248
#define IDC_PROFILE_BARCODE_DELAY 1249
#define IDC_PROFILE_RULES_LABEL   1250
#define IDC_PROFILE_RULES         1251
#define IDC_PROFILE_PREVIEW_LABEL 1252
#define IDC_PROFILE_PREVIEW       1253

// Recent Barcodes window
#define IDC_RECENT_LIST       1180
#define IDC_RECENT_COPY       1181
#define IDC_RECENT_TYPE_AGAIN 1182
#define IDC_RECENT_CLEAR      1183
#define IDC_RECENT_STATUS     1184
#define IDC_RECENT_SAVE_AS    1187
#define IDC_RECENT_LOG_FOLDER 1188
