// Helpers for the settings and dialog tests: a settings file beside the test program
// written and read back as plain text, a second thread that finds modal windows and
// works them like a user, and screenshots of a window taken from the screen.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace drive {

// The settings file of this test program, worked out independently of the program's
// own rule: the module path with ".exe" replaced by ".ini".
std::string settingsFile();
void removeSettingsFile();
void writeSettingsFile(const std::string& text, const std::string& path = settingsFile());
// The whole file (or the one at `path`) as bytes; the empty text when it does not exist.
std::string readSettingsFile(const std::string& path = settingsFile());
// The file's lines split at CR LF, blank lines left out.
std::vector<std::string> settingsLines(const std::string& path = settingsFile());
// The value of `key` in `section` as text; "<absent>" when the key is not there.
std::string settingsValue(const std::string& section, const std::string& key, const std::string& path = settingsFile());

// Polls `condition` until it holds or `limitMs` of clock time have passed, the time the
// condition itself takes included; true when it held.
bool waitUntil(const std::function<bool()>& condition, int limitMs = 30000);
// A top-level window of the dialog class with this caption, once it is visible; null
// when none shows within `limitMs`.
HWND waitForDialog(const char* caption, int limitMs = 30000);
// True once no visible dialog with this caption exists any more.
bool waitForDialogGone(const char* caption);
// Handles everything queued for the calling thread, as a message loop does.
void pumpMessages();

// The CF_TEXT data as bytes up to its zero; "<none>" when the clipboard holds no text.
std::string clipboardText();
std::string windowText(HWND window);
std::string controlText(HWND dialog, int control);
// Puts a key press into the dialog's queue the way the keyboard would, addressed to
// `control`, so the dialog manager's own key handling (Enter, Escape) runs.
void pressKey(HWND control, UINT virtualKey);
void clickButton(HWND dialog, int control);
void pressCloseBox(HWND window);

// Screen contents of the window's rectangle, once the window and its children are fully
// drawn (within 30 seconds), written as a 24-bit BMP to
// <test program dir>/screenshots/<name>.bmp. Returns the number of distinct colours
// seen (a blank capture has one), or 0 when it could not be taken.
int saveDrawnScreenshot(HWND window, const char* name);

// Ends every dialog window (message boxes included) that thread `threadId` shows, by
// WM_CLOSE, which the program's dialogs and boxes take as their way out.
void closeDialogsOf(DWORD threadId);

// Runs work on the thread that made this object, asked from any other thread; the work
// runs when that thread next handles messages (the program's loop, a modal loop, or
// Helper::join), so it never overlaps an engine step or a command.
struct UiThreadCalls {
    UiThreadCalls();
    ~UiThreadCalls();
    UiThreadCalls(const UiThreadCalls&) = delete;
    UiThreadCalls& operator=(const UiThreadCalls&) = delete;
    void run(const std::function<void()>& work) const;
    HWND window;
};

// Runs `work` on a second thread while the calling thread runs a modal loop.
struct Helper {
    explicit Helper(std::function<void()> work);
    ~Helper();
    void join();
    HANDLE thread;
    std::function<void()> task;
};

}  // namespace drive
