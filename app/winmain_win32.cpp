// Program entry of lumentrax.exe: narrows where DLLs may come from, builds the
// application, runs its message loop and ends the process with the loop's exit code.
#include "app/trace_app_win32.h"
#include "engine/system_library_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    restrictDllSearch();
    theApp = new TraceApp(instance, commandLine);
    const int exitCode = theApp->run();
    delete theApp;
    return exitCode;
}
