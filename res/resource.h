/*
 * resource.h - resource identifiers of the Vellmar launcher.
 *
 * Included by the C++ sources and by res/Vellmar.rc (windres).  Control ids
 * are numbered per dialog, so several IDC_ symbols share one value.
 */
#ifndef VELLMAR_RESOURCE_H
#define VELLMAR_RESOURCE_H

/* Icon group (also the notification-area icon's uID). */
#define IDR_MAINFRAME               128

/* Dialog templates. */
#define IDD_LOGIN_DIALOG            102
#define IDD_GAME_DIALOG             131
#define IDD_LOGINACTIVE_DIALOG      132
#define IDD_CONFIRM_DIALOG          172
#define IDD_CLEANCACHE_DIALOG       173

/* Bitmaps (RT_BITMAP). */
#define IDB_TITLEBAR                136
#define IDB_TITLE_LOGO              141
#define IDB_CONFIRM_BACK            177
#define IDB_CLEAN_BACK              187

/* PNG images (resource type "PNG"). */
#define IDB_LOGIN_BACK              155
#define IDB_LOGIN_CLOSE             160
#define IDB_LOGIN_MIN               162
#define IDB_BTN_BOSS                164
#define IDB_BTN_CLOSE               166
#define IDB_BTN_FULLSCREEN          167
#define IDB_BTN_MAX                 168
#define IDB_BTN_MIN                 169
#define IDB_BTN_REFRESH             170
#define IDB_BTN_SERVER              171
#define IDB_CONFIRM_OK              175
#define IDB_CONFIRM_CANCEL          176
#define IDB_BTN_RESTORE             189
#define IDB_BTN_CLEAN               1000

/* Controls of IDD_GAME_DIALOG (131). */
#define IDC_GAME_BROWSER            1000
#define IDC_BTN_CLOSE               1001
#define IDC_GAME_LOGO               1002
#define IDC_BTN_MIN                 1003
#define IDC_BTN_FULLSCREEN          1004
#define IDC_BTN_BOSS                1005
#define IDC_BTN_CLEAN               1006
#define IDC_BTN_REFRESH             1007
#define IDC_BTN_SERVER              1008
#define IDC_BTN_MAX                 1009
#define IDC_BTN_RESTORE             1011

/* Controls of IDD_LOGINACTIVE_DIALOG (132). */
#define IDC_LOGIN_BROWSER           1000
#define IDC_LOGIN_CLOSE             1005
#define IDC_LOGIN_MIN               1006

/* Controls of IDD_CONFIRM_DIALOG (172). */
#define IDC_CONFIRM_TITLE           1002
#define IDC_CONFIRM_TEXT            1003
#define IDC_CONFIRM_OK              1008
#define IDC_CONFIRM_CANCEL          1009

/* Controls of IDD_CLEANCACHE_DIALOG (173). */
#define IDC_CLEAN_TEXT              1002
#define IDC_CLEAN_FRAME             1009

/* Private window messages (WM_USER is 0x0400). */
#define WM_TRAYNOTIFY               (WM_USER + 0x65)    /* 0x465 */
#define WM_CLEANCACHE_DONE          (WM_USER + 0x67)    /* 0x467 */

/* Command of the notification-area menu's exit item. */
#define ID_TRAY_EXIT                1013

/* uID of the notification-area icon: the same number as IDR_MAINFRAME. */
#define ID_TRAY_ICON                128

/* Global hotkey ids registered by the game window. */
#define IDH_BOSS_KEY                1001    /* F10, no modifiers */
#define IDH_FULLSCREEN              1002    /* F11, no modifiers */

#endif /* VELLMAR_RESOURCE_H */
