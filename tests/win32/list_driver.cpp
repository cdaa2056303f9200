// Drives a running lumentrax.exe from outside for the end-to-end tests: reads its
// results list across processes, works its boxes and dialogs, reads the clipboard and
// looks at the process. One program; the pieces are driver_list.cpp (list),
// driver_dialogs.cpp (dialogs, address box, geometry), driver_process.cpp (handles,
// clipboard file, DLL loading, an exe's resources) and driver_windows.cpp (what they
// share).
//
// Commands (exit status 0 = done, 1 = not found, failed or timed out, 2 = usage):
// The main window and its list
//   wait-window SECONDS              wait until the main window and its list exist
//   wait-gone SECONDS                wait until the main window is gone
//   rows                             print every row: box image (1 clear, 2 ticked), then
//                                    the ten cells, tab-separated
//   wait-count N SECONDS             wait until the list has at least N rows
//   wait-cell ROW COL TEXT SECONDS   wait until cell (ROW, COL), 0-based, reads TEXT
//   wait-min ROW COL N SECONDS       wait until the number in cell (ROW, COL) is >= N
//   button                           print the Start/Stop button's text
//   wait-button TEXT SECONDS         wait until the Start/Stop button reads TEXT
//   text                             print the address box's text
//   command ID                       post WM_COMMAND with identifier ID (e.g. 40005)
//   close                            post WM_CLOSE to the main window
// Boxes and dialogs (a dialog counts once it is visible)
//   copy SECONDS                     post Copy (40005), wait for the confirmation box, print
//                                    its text on stderr as "box: TEXT", write the clipboard's
//                                    CF_TEXT bytes unchanged to stdout, press OK and wait
//                                    until the box is gone
//   options T P H D SECONDS          post Options (40007), type timeout T, packet size P, hop
//                                    limit H, tick the box when D is 1, press OK and wait
//                                    until the dialog is gone
//   show-options SECONDS             open Options, print "T P H D" as shown, Cancel
//   dialogs                          print the title of every dialog window (class #32770)
//                                    of the program, one a line; nothing when none
//   wait-dialog TITLE SECONDS        wait until a dialog of the program has TITLE
//   fields TITLE                     print the texts of controls 1000 1001 1002 and the check
//                                    state of 1003 of dialog TITLE, tab-separated
//   ok TITLE                         post the OK command (IDOK) to dialog TITLE
//   history                          print the address box's list, one entry a line
//   set-address TEXT                 put TEXT into the address box's edit field
//   place X Y W H                    move and size the main window
//   rect                             print the main window's "X Y W H"
// The process
//   handles                          print the program's Windows handle count
//   clipboard FILE                   write the clipboard's text, byte for byte, to FILE
//   loadlib NAME                     try LoadLibraryA(NAME); print "loaded" or "missing"
// An exe file (need not run)
//   version FILE                     print its version resource as GetFileVersionInfo gives
//                                    it: FixedFileVersion=, FixedProductVersion=, then the
//                                    strings FileVersion= ProductVersion= ProductName=
//                                    FileDescription= LegalCopyright= OriginalFilename=
//   manifest FILE                    print its manifest resource (type 24, id 1)
#include <cstring>

#include "driver_windows.h"

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

int waitGone(char** args) {
    return driver::waitFor(args[0], [] { return driver::mainWindow() == nullptr; });
}

int button(char**) { return driver::printText(driver::child("Button")); }

int waitButton(char** args) {
    const char* wanted = args[0];
    return driver::waitFor(args[1], [wanted] {
        char text[driver::kTextSize];
        driver::windowText(driver::child("Button"), text);
        return std::strcmp(text, wanted) == 0;
    });
}

int text(char**) { return driver::printText(driver::child("ComboBox")); }

int command(char** args) {
    return driver::postToMain(WM_COMMAND, MAKEWPARAM(std::atoi(args[0]), 0)) ? 0 : 1;
}

int close(char**) { return driver::postToMain(WM_CLOSE, 0) ? 0 : 1; }

constexpr Command kCommands[] = {
    {"wait-window", 1, waitWindow},
    {"wait-gone", 1, waitGone},
    {"rows", 0, driver::rows},
    {"wait-count", 2, driver::waitCount},
    {"wait-cell", 4, driver::waitCell},
    {"wait-min", 4, driver::waitMin},
    {"button", 0, button},
    {"wait-button", 2, waitButton},
    {"text", 0, text},
    {"command", 1, command},
    {"close", 0, close},
    {"copy", 1, driver::copy},
    {"options", 5, driver::setOptions},
    {"show-options", 1, driver::showOptions},
    {"dialogs", 0, driver::dialogs},
    {"wait-dialog", 2, driver::waitDialogCommand},
    {"fields", 1, driver::fields},
    {"ok", 1, driver::ok},
    {"history", 0, driver::history},
    {"set-address", 1, driver::setAddress},
    {"place", 4, driver::place},
    {"rect", 0, driver::rect},
    {"handles", 0, driver::handles},
    {"clipboard", 1, driver::saveClipboard},
    {"loadlib", 1, driver::loadLibrary},
    {"version", 1, driver::versionInfo},
    {"manifest", 1, driver::manifest},
};

}  // namespace

int main(int argc, char** argv) {
    for (const Command& entry : kCommands) {
        if (argc == entry.argumentCount + 2 && std::strcmp(argv[1], entry.name) == 0) return entry.run(argv + 2);
    }
    std::fprintf(stderr, "usage: list_driver COMMAND [ARGS] (see the head of list_driver.cpp)\n");
    return 2;
}
