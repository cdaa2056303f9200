// The DLL search restriction that both programs make first thing: before it, a load by
// bare name finds planted.dll (planted_dll.cpp) beside this test program; after it, only
// the system folder is searched and the same load finds nothing. The restriction holds
// for the whole process, so this test has a program of its own.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "engine/system_library_win32.h"

TEST(DllSearch, PlantedDllLoadsByNameUntilTheSearchIsRestricted) {
    char path[MAX_PATH];
    std::string folder(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    folder.erase(folder.find_last_of('\\') + 1);
    HMODULE planted = LoadLibraryA("planted.dll");
    ASSERT_NE(planted, nullptr);
    EXPECT_EQ(folder + "planted.dll", std::string(path, GetModuleFileNameA(planted, path, MAX_PATH)));
    FreeLibrary(planted);
    restrictDllSearch();
    EXPECT_EQ(LoadLibraryA("planted.dll"), nullptr);
    DeleteFileA((folder + "planted.dll.loaded").c_str());  // the DLL's marker
}
