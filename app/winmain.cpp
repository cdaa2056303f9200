// Program entry of lumentrax.exe: builds the application, runs its message loop and
// ends the process with the loop's exit code.
#include "app/trace_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    theApp = new TraceApp(instance, commandLine);
    const int exitCode = theApp->run();
    delete theApp;
    return exitCode;
}
