// A stand-in for a DLL planted beside a program (copied as icmp.dll and as comctl32.dll
// beside lumentrax.exe; as planted.dll beside the DLL search test, which loads it by
// that name): when any process loads it, it leaves a marker file "<its path>.loaded",
// so a test sees from outside whether it was taken. It exports the entry points the
// program looks for, so that a program that loads it runs on instead of failing at once.
#include <windows.h>

extern "C" {

__declspec(dllexport) HANDLE WINAPI IcmpCreateFile() { return INVALID_HANDLE_VALUE; }
__declspec(dllexport) BOOL WINAPI IcmpCloseHandle(HANDLE) { return TRUE; }
__declspec(dllexport) DWORD WINAPI IcmpSendEcho(HANDLE, DWORD, LPVOID, WORD, LPVOID, LPVOID, DWORD,
                                                DWORD) {
    return 0;
}
__declspec(dllexport) void WINAPI InitCommonControls() {}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char path[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    lstrcpyA(path + length, ".loaded");
    HANDLE marker = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
    return TRUE;
}

}  // extern "C"
