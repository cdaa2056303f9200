# Settings file, address box, clipboard export and the Options and About dialogs,
# cross-built and run under Wine on the virtual display. The tests share the settings
# file beside their program, so they run as one program, one test after another.
add_executable(settings_dialogs_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/dialog_driving.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/settings_file_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/clipboard_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/dialogs_test.cpp
  ${PROJECT_SOURCE_DIR}/ui/lumentrax.rc
)
target_link_libraries(settings_dialogs_tests PRIVATE lumentrax_shell lumentrax_scripted_pinger GTest::gtest_main)
add_test(NAME settings_dialogs_tests COMMAND settings_dialogs_tests)
set_tests_properties(settings_dialogs_tests PROPERTIES TIMEOUT 600)
