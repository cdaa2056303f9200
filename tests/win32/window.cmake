# Win32 tests of the main window and the results list (scripted echo service), the
# outside driver, and the end-to-end test of lumentrax.exe in the namespace lab.
add_executable(window_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/main_window_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/results_list_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/timeline_paint_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/dialog_driving.cpp
  ${PROJECT_SOURCE_DIR}/ui/lumentrax.rc
)
target_link_libraries(window_tests PRIVATE lumentrax_shell lumentrax_scripted_pinger GTest::gtest_main comctl32)
target_include_directories(window_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
# In a zone with daylight saving, for the timeline's time ticks across its changes.
add_test(NAME win32_window COMMAND window_tests)
set_tests_properties(win32_window PROPERTIES ENVIRONMENT TZ=Europe/Berlin)
# The DPI tests again at 120, 144 and 192 DPI.
foreach(dpi 120 144 192)
  add_test(NAME win32_window_dpi_${dpi}
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/at_dpi.sh ${dpi} ${CMAKE_CROSSCOMPILING_EMULATOR}
                   $<TARGET_FILE:window_tests> --gtest_filter=*Dpi*)
  set_tests_properties(win32_window_dpi_${dpi} PROPERTIES TIMEOUT 400)
endforeach()
# Ends the default Wine prefix's wineserver and display after the last test that uses
# them (tests/win32/CMakeLists.txt names those).
add_test(NAME win32_default_prefix_stop COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --stop)
set_tests_properties(win32_default_prefix_stop PROPERTIES FIXTURES_CLEANUP lumentrax_default_prefix)

# Drives a running lumentrax.exe from outside (list, dialogs, clipboard, process); the one
# outside helper of every end-to-end test; it also reads an exe's resources. It takes the command and control identifiers
# from the program's resource header.
add_executable(lumentrax_driver
  ${CMAKE_CURRENT_SOURCE_DIR}/driver.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/driver_windows.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/driver_list.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/driver_dialogs.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/driver_process.cpp
)
target_include_directories(lumentrax_driver PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(lumentrax_driver PRIVATE comctl32 user32 version)

# End to end: the real lumentrax.exe in the namespace lab, its window saved as a screenshot,
# its route switched (root; under CI=true a missing root fails instead of skipping).
add_test(NAME lab_window
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/lab_window_test.sh
                 $<TARGET_FILE:lumentrax> $<TARGET_FILE:lumentrax_driver> ${CMAKE_BINARY_DIR}/screenshots)
set_tests_properties(lab_window PROPERTIES SKIP_RETURN_CODE 77 LABELS lab TIMEOUT 600)

# Round trips through the lab's delay links: time cells, the time-out boundary, late answers.
add_test(NAME lab_window_latency
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/lab_latency_test.sh
                 $<TARGET_FILE:lumentrax> $<TARGET_FILE:lumentrax_driver>)
set_tests_properties(lab_window_latency PROPERTIES SKIP_RETURN_CODE 77 LABELS lab)

# The programs run alone: only system DLLs imported; the window a GUI-subsystem program
# with its resources compiled in, the runner a console program.
add_test(NAME win32_exe_imports
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/exe_imports_test.sh $<TARGET_FILE:lumentrax>
                 $<TARGET_FILE:lumentrax-trace>)

# The virtual-display helper never kills or reuses a process it did not start.
add_test(NAME win32_xvfb_helper COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/xvfb_helper_test.sh)
set_tests_properties(win32_xvfb_helper PROPERTIES SKIP_RETURN_CODE 77)
