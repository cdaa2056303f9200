// Shared by the pieces of the outside driver (lumentrax_driver): finding a running
// lumentrax.exe's windows and dialogs, polling, window texts across processes, the
// clipboard; and the subcommands each piece offers to the dispatch in driver.cpp.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "app/window_texts.h"

namespace driver {

constexpr int kTextSize = kWindowTextSize;
constexpr int kPollMs = 100;

HWND mainWindow();
// The first child of the main window with this class, or null.
HWND child(const char* className);
// The program's process id; 0 while it has no main window.
DWORD programId();

// Polls `done` until it holds or `seconds` have passed; 0 when it held, 1 when not.
template <typename Condition>
int waitFor(const char* seconds, Condition done) {
    const DWORD limitMs = static_cast<DWORD>(std::atoi(seconds)) * 1000;
    const DWORD begin = GetTickCount();
    for (;;) {
        if (done()) return 0;
        if (GetTickCount() - begin >= limitMs) return 1;
        Sleep(kPollMs);
    }
}

void windowText(HWND window, char (&text)[kTextSize]);
void controlText(HWND dialog, int control, char (&text)[kTextSize]);
int printText(HWND window);
bool postToMain(UINT message, WPARAM wParam);
// Posts the menu command `id` to the main window, as a click on the menu item does.
bool postCommand(WORD id);
// Waits until the program has handled every message posted to it before the call; 0 when
// it did within `seconds`.
int settle(const char* seconds);

// A top-level dialog-class window of the program with this title (null title: any);
// when `print` is set every match's title is printed, one a line.
HWND findDialog(const char* title, bool print);
// The dialog once it exists and is visible, or null after `seconds`.
HWND waitDialog(const char* title, const char* seconds);
int waitDialogGone(const char* title, const char* seconds);
// Posts the command a click on button `id` sends; 0 when posted.
int pressButton(HWND dialog, int id);

// The program's timeline window of row ROW's hop, or null.
HWND timelineWindow(int row);

// Writes the clipboard's CF_TEXT bytes unchanged to `out`; 0 when there was text.
int writeClipboard(FILE* out);

// Subcommands; `args` are the words after the subcommand's name.
int rows(char** args);
int waitCount(char** args);
int waitMin(char** args);
int activate(char** args);
int timelines(char** args);
int timelineCopy(char** args);
int routeHistory(char** args);
int routeHistoryCopy(char** args);

int copy(char** args);
int setOptions(char** args);
int readOptions(char** args);
int place(char** args);
int rect(char** args);
int history(char** args);
int dialogs(char** args);
int setAddress(char** args);

int loadLibrary(char** args);
int handles(char** args);
int versionInfo(char** args);
int manifest(char** args);

}  // namespace driver
