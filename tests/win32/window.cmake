# Win32 tests of the main window and the results list (scripted echo service), and the
# end-to-end tests of lumentrax.exe in the namespace lab.
add_executable(lumentrax_window_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/main_window_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/results_list_test.cpp
  ${PROJECT_SOURCE_DIR}/ui/lumentrax.rc
)
target_link_libraries(lumentrax_window_tests PRIVATE lumentrax_shell lumentrax_scripted_pinger
                      gtest_main)
target_include_directories(lumentrax_window_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
add_test(NAME win32_window COMMAND lumentrax_window_tests)

# Drives a running lumentrax.exe from outside (list, dialogs, clipboard, process) and reads
# an exe's resources; the one outside helper of every end-to-end test.
add_executable(lumentrax_list_driver
  ${CMAKE_CURRENT_SOURCE_DIR}/list_driver.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/driver_windows.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/driver_list.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/driver_dialogs.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/driver_process.cpp
)
target_link_libraries(lumentrax_list_driver PRIVATE comctl32 user32 version)

# End to end: the real lumentrax.exe in the namespace lab (root; under CI=true a missing
# root fails instead of skipping).
foreach(mode e2e screenshot)
  add_test(NAME lab_window_${mode}
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/lab_window_test.sh ${mode}
                   $<TARGET_FILE:lumentrax> $<TARGET_FILE:lumentrax_list_driver>
                   ${CMAKE_BINARY_DIR}/screenshots)
  set_tests_properties(lab_window_${mode} PROPERTIES SKIP_RETURN_CODE 77 LABELS lab
                       RESOURCE_LOCK lumentrax_lab_window)
endforeach()

# The program runs alone: GUI subsystem, only system DLLs imported, resources compiled in.
add_test(NAME win32_exe_imports
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/exe_imports_test.sh $<TARGET_FILE:lumentrax>)
