// Resource and command identifiers shared by the resource script and the code.
#pragma once

#define IDR_MAINMENU 101
#define IDI_MAINICON 102
#define IDD_ABOUT 103
#define IDD_OPTIONS 104

#define IDM_EXIT 40001
#define IDM_ABOUT 40002
#define IDM_STARTSTOP 40003
#define IDM_COPY 40005
#define IDM_OPTIONS 40007

#define IDC_TIMEOUT 1000
#define IDC_PACKETSIZE 1001
#define IDC_MAXHOPS 1002
#define IDC_REVERSEDNS 1003

// Dialog captions: the templates carry them, and the tests find the dialogs by them.
#define OPTIONS_CAPTION "Options"
#define ABOUT_CAPTION "About Lumentrax"

// The timeline window's span and copy commands (its right-click menu).
#define IDM_TIMELINE_10MIN 40101
#define IDM_TIMELINE_1H 40102
#define IDM_TIMELINE_24H 40103
#define IDM_TIMELINE_COPY 40104

// The main window's system menu item that opens the route history (the system keeps the
// four low bits of a system command for itself, so they are 0), and the history
// window's copy command.
#define IDM_ROUTE_HISTORY 40208
#define IDM_ROUTE_HISTORY_COPY 40209
