// The DLL search restriction that both programs make first thing: before it, a DLL
// planted beside the program (planted.dll, built beside this test) is what a load by
// bare name finds; after it, the same load finds nothing, because only the system folder
// is searched. The restriction holds for the whole process, so this test has a program
// of its own.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "engine/system_library_win32.h"

namespace {

std::string folderOf(HMODULE module) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    const std::string file(path, length);
    return file.substr(0, file.find_last_of('\\') + 1);
}

TEST(DllSearch, PlantedDllLoadsByNameUntilTheSearchIsRestricted) {
    HMODULE planted = LoadLibraryA("planted.dll");
    ASSERT_NE(planted, nullptr) << "no planted.dll beside the test program";
    const std::string plantedFolder = folderOf(planted);
    EXPECT_EQ(plantedFolder, folderOf(nullptr));
    FreeLibrary(planted);
    DeleteFileA((plantedFolder + "planted.dll.loaded").c_str());  // the DLL's marker

    restrictDllSearch();
    HMODULE afterRestriction = LoadLibraryA("planted.dll");
    EXPECT_EQ(afterRestriction, nullptr);
    if (afterRestriction != nullptr) FreeLibrary(afterRestriction);
    DeleteFileA((plantedFolder + "planted.dll.loaded").c_str());
}

}  // namespace
