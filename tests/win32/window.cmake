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
