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
add_test(NAME win32_settings_dialogs COMMAND settings_dialogs_tests)
set_tests_properties(win32_settings_dialogs PROPERTIES TIMEOUT 600)

# End to end in the namespace lab: Copy of a lab trace, two runs in a row that keep
# their settings, and three copies logged off at once (root; under CI=true a missing
# root fails instead of skipping).
foreach(mode copy restart copies)
  add_test(NAME lab_settings_${mode}
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/lab_settings_test.sh ${mode}
                   $<TARGET_FILE:lumentrax> $<TARGET_FILE:lumentrax_driver>)
  set_tests_properties(lab_settings_${mode} PROPERTIES SKIP_RETURN_CODE 77 LABELS lab TIMEOUT 900)
endforeach()
# A symbolic link to the tests' own folder: a second spelling of their settings file.
file(CREATE_LINK ${CMAKE_CURRENT_BINARY_DIR} ${CMAKE_CURRENT_BINARY_DIR}/linked-folder SYMBOLIC)
# A linked folder whose target's name the ANSI code page cannot spell, and a settings file
# linked into a folder of its own.
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/Настройки ${CMAKE_CURRENT_BINARY_DIR}/other-folder)
file(CREATE_LINK Настройки ${CMAKE_CURRENT_BINARY_DIR}/linked-unspellable SYMBOLIC)
file(CREATE_LINK other-folder/target.ini ${CMAKE_CURRENT_BINARY_DIR}/linked-file.ini SYMBOLIC)
target_compile_definitions(settings_dialogs_tests PRIVATE LUMENTRAX_LINKED_FOLDER="linked-folder"
  LUMENTRAX_LINKED_UNSPELLABLE="linked-unspellable" LUMENTRAX_LINKED_FILE="linked-file.ini"
  LUMENTRAX_LINKED_TARGET_FOLDER="other-folder")
