// Before the DLL search restriction that both programs make first thing, a load by bare
// name finds planted.dll (planted_dll.cpp) beside this test program; after it, only the
// system folder is searched. The restriction is process-wide: a program of its own.
#include <gtest/gtest.h>
#include <windows.h>

#include "engine/system_library_win32.h"

TEST(DllSearch, PlantedDllLoadsByNameUntilTheSearchIsRestricted) {
    HMODULE planted = LoadLibraryA("planted.dll");
    ASSERT_NE(planted, nullptr);
    char marker[MAX_PATH + 8];  // the DLL leaves "<its path>.loaded"
    lstrcpyA(marker + GetModuleFileNameA(planted, marker, MAX_PATH), ".loaded");
    FreeLibrary(planted);
    DeleteFileA(marker);
    restrictDllSearch();
    EXPECT_EQ(LoadLibraryA("planted.dll"), nullptr);
}
