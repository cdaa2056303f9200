// lumentrax_driver: drives a running lumentrax.exe from outside for the end-to-end tests.
// It reads the results list across processes, presses the program's commands, works its
// boxes and dialogs, reads the clipboard and looks at the process. One program; the pieces
// are driver_list.cpp (list), driver_dialogs.cpp (dialogs, address box, geometry),
// driver_process.cpp (handles, DLL loading, an exe's version and manifest resources) and
// driver_windows.cpp (what they share). Each start under Wine costs time, so a
// subcommand that waits for something also prints what the test reads next (stop, copy,
// read-options).
//
// Commands (exit status 0 = done, 1 = not found, failed or timed out, 2 = usage):
// The main window and its list
//   wait-window SECONDS              wait until the main window and its list exist
//   rows                             print every row: box image (1 clear, 2 ticked), then
//                                    the ten cells, tab-separated
//   wait-count N SECONDS             wait until the list has at least N rows
//   wait-min ROW COL N SECONDS       wait until the number in cell (ROW, COL) is >= N
//   button                           print the Start/Stop button's text
//   text                             print the address box's text
//   settle SECONDS                   wait until the program has handled every message
//                                    posted to it so far (its own start-up Start included)
//   start-stop SECONDS               press Start/Stop (menu command), then settle
//   stop SECONDS                     press Start/Stop when the button reads Stop, wait
//                                    until it reads Start, then print the rows as `rows`
//   close                            post WM_CLOSE to the main window
//   end-session                      send WM_ENDSESSION (the session ends: log-off) to the
//                                    main window and wait until it has been handled
//   log-off N SECONDS                wait until N copies show a row each, then log them off at
//                                    once: WM_QUERYENDSESSION, WM_ENDSESSION; all told, ended
// Timeline windows (ROW 0-based, as the list's)
//   activate ROW SECONDS             double-click row ROW, wait for its hop's timeline window
//                                    and print its title
//   timelines                        print the title of every timeline window, one a line
//   timeline-copy ROW SECONDS        empty the clipboard, post Copy to row ROW's timeline
//                                    window, wait for its text and write it to stdout
// The route history window
//   route-history SECONDS            choose "Route history..." in the main window's system
//                                    menu, wait for the window and print its title
//   route-history-copy SECONDS       the same as timeline-copy, for the history window
// Boxes and dialogs (a dialog counts once it is visible)
//   copy SECONDS                     post Copy, wait for the confirmation box, print its
//                                    text on stderr as "box: TEXT", write the clipboard's
//                                    CF_TEXT bytes unchanged to stdout, press OK and wait
//                                    until the box is gone
//   options T P H D SECONDS          open Options, type timeout T, packet size P, hop
//                                    limit H, tick the box when D is 1, press OK and wait
//                                    until the dialog is gone
//   read-options ok|cancel SECONDS   open Options, print the time-out, packet size and hop
//                                    limit texts and 1 or 0 for the reverse-lookup box,
//                                    tab-separated, press OK or Cancel and wait until the
//                                    dialog is gone
//   dialogs                          print the title of every dialog window (class #32770)
//                                    of the program, one a line; nothing when none
//   history                          print the address box's list, one entry a line
//   set-address TEXT                 put TEXT into the address box's edit field
//   place X Y W H                    move and size the main window
//   rect                             print the main window's "X Y W H"
// The process
//   handles                          print the program's Windows handle count
//   pid                              print the program's Windows process id
//   loadlib NAME                     try LoadLibraryA(NAME); print "loaded" or "missing"
// An exe file (need not run)
//   version FILE                     print its version resource as GetFileVersionInfo gives
//                                    it: FixedFileVersion=, FixedProductVersion=, then the
//                                    strings FileVersion= ProductVersion= ProductName=
//                                    FileDescription= LegalCopyright= OriginalFilename=
//   manifest FILE                    print its manifest resource (type 24, id 1)
#include <cstdio>
#include <cstring>

#include "driver_windows.h"
#include "ui/resource.h"

#include <commctrl.h>

namespace {

using Handler = int (*)(char** args);

struct Command {
    const char* name;
    int argumentCount;
    Handler run;
};

int waitWindow(char** args) {
    return driver::waitFor(args[0],
                           [] { return driver::mainWindow() != nullptr && driver::child("SysListView32") != nullptr; });
}

bool buttonReads(const char* wanted) {
    char text[driver::kTextSize];
    driver::windowText(driver::child("Button"), text);
    return std::strcmp(text, wanted) == 0;
}

int button(char**) { return driver::printText(driver::child("Button")); }

int text(char**) { return driver::printText(driver::child("ComboBox")); }

int settle(char** args) { return driver::settle(args[0]); }

int startStop(char** args) { return driver::postCommand(IDM_STARTSTOP) ? driver::settle(args[0]) : 1; }

int stop(char** args) {
    if (buttonReads(kStopText) && !driver::postCommand(IDM_STARTSTOP)) return 1;
    if (driver::waitFor(args[0], [] { return buttonReads(kStartText); }) != 0) return 1;
    return driver::rows(nullptr);
}

int close(char**) { return driver::postToMain(WM_CLOSE, 0) ? 0 : 1; }

// Sends a session message of a log-off and waits until it is handled (30 s at most).
bool tellLogOff(HWND window, UINT message, WPARAM wParam) {
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(window, message, wParam, ENDSESSION_LOGOFF, SMTO_NORMAL, 30000, &answer) != 0;
}

int processId(char**) {
    const DWORD id = driver::programId();
    return id != 0 && std::printf("%lu\n", static_cast<unsigned long>(id)) > 0 ? 0 : 1;
}

int endSession(char**) {
    HWND window = driver::mainWindow();
    return window != nullptr && tellLogOff(window, WM_ENDSESSION, TRUE) ? 0 : 1;
}

// The main windows of the copies whose lists show a row (their first Start is handled).
// EnumWindows, not a FindWindowEx walk: a copy that comes to the front while the walk goes
// on would move in the z-order behind it and be counted twice while another is missed.
struct CopyList {
    HWND found[8];
    int count;
};

BOOL CALLBACK addBusyCopy(HWND window, LPARAM state) {
    auto& copies = *reinterpret_cast<CopyList*>(state);
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    HWND list = std::strcmp(name, "LumentraxClass") == 0 ? FindWindowExA(window, nullptr, "SysListView32", nullptr)
                                                       : nullptr;
    if (list != nullptr && SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) > 0) copies.found[copies.count++] = window;
    return copies.count < 8;
}

// One copy's end of session: asked, then told; 0 when both were handled.
DWORD WINAPI endCopySession(void* window) {
    HWND copy = static_cast<HWND>(window);
    return tellLogOff(copy, WM_QUERYENDSESSION, 0) && tellLogOff(copy, WM_ENDSESSION, TRUE) ? 0 : 1;
}

// A thread per copy, made first and resumed together, so that the copies are told at once.
// The processes are ended once every copy is told: under Wine, ending one while its echo is
// out can hang the host of the network service, and the volume queries of the others' saves.
int logOff(char** args) {
    CopyList copies{{}, 0};
    HANDLE threads[8], processes[8];
    DWORD code = 1, id = 0, failed = 0;
    if (driver::waitFor(args[1], [&] {
            copies.count = 0;
            EnumWindows(addBusyCopy, reinterpret_cast<LPARAM>(&copies));
            return copies.count >= std::atoi(args[0]);
        }) != 0) {
        std::fprintf(stderr, "log-off: only %d copies show a row\n", copies.count);
        return 1;
    }
    // Each copy's process is opened while its window is sure to be there.
    for (int i = 0; i < copies.count; ++i) {
        processes[i] = GetWindowThreadProcessId(copies.found[i], &id) != 0 ? OpenProcess(PROCESS_TERMINATE, FALSE, id)
                                                                          : nullptr;
        threads[i] = CreateThread(nullptr, 0, endCopySession, copies.found[i], CREATE_SUSPENDED, nullptr);
    }
    for (int i = 0; i < copies.count; ++i) ResumeThread(threads[i]);
    WaitForMultipleObjects(copies.count, threads, TRUE, INFINITE);  // each send is bounded
    for (int i = 0; i < copies.count; ++i) {
        const bool told = GetExitCodeThread(threads[i], &code) && code == 0;
        failed += told && processes[i] != nullptr && TerminateProcess(processes[i], 0) ? 0 : 1;
        if (processes[i] != nullptr) CloseHandle(processes[i]);
    }
    return failed == 0 ? 0 : 1;
}

constexpr Command kCommands[] = {
    {"wait-window", 1, waitWindow},
    {"rows", 0, driver::rows},
    {"wait-count", 2, driver::waitCount},
    {"wait-min", 4, driver::waitMin},
    {"activate", 2, driver::activate},
    {"timelines", 0, driver::timelines},
    {"timeline-copy", 2, driver::timelineCopy},
    {"route-history", 1, driver::routeHistory},
    {"route-history-copy", 1, driver::routeHistoryCopy},
    {"button", 0, button},
    {"text", 0, text},
    {"settle", 1, settle},
    {"start-stop", 1, startStop},
    {"stop", 1, stop},
    {"close", 0, close},
    {"end-session", 0, endSession},
    {"log-off", 2, logOff},
    {"copy", 1, driver::copy},
    {"options", 5, driver::setOptions},
    {"read-options", 2, driver::readOptions},
    {"dialogs", 0, driver::dialogs},
    {"history", 0, driver::history},
    {"set-address", 1, driver::setAddress},
    {"place", 4, driver::place},
    {"rect", 0, driver::rect},
    {"handles", 0, driver::handles},
    {"pid", 0, processId},
    {"loadlib", 1, driver::loadLibrary},
    {"version", 1, driver::versionInfo},
    {"manifest", 1, driver::manifest},
};

}  // namespace

int main(int argc, char** argv) {
    for (const Command& entry : kCommands) {
        if (argc == entry.argumentCount + 2 && std::strcmp(argv[1], entry.name) == 0) return entry.run(argv + 2);
    }
    std::fprintf(stderr, "usage: lumentrax_driver COMMAND [ARGS] (see the head of driver.cpp)\n");
    return 2;
}
