// Program entry of lumentrax.exe: narrows where DLLs may come from, builds the
// application, runs its message loop and ends the process with the loop's exit code.
#include "app/trace_app_win32.h"
#include "engine/system_library_win32.h"

namespace {

// From here on the loader takes DLLs that are loaded at run time (by the program or by
// the system's own libraries on its behalf) from the system folder only, never from
// the program's folder, where a download folder may hold a planted file of that name.
// Looked up at run time: a system without the call still runs the program.
void restrictDllSearch() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    auto restrict = entryPointOf<SetDefaultDllDirectoriesFn>(GetModuleHandleA("kernel32.dll"),
                                                             "SetDefaultDllDirectories");
    if (restrict != nullptr) restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    restrictDllSearch();
    theApp = new TraceApp(instance, commandLine);
    const int exitCode = theApp->run();
    delete theApp;
    return exitCode;
}
