# Fault injection and soak of the real lumentrax.exe under Wine in the namespace lab:
# missing ICMP library, unwritable and corrupt settings files, oversized addresses,
# hostile reverse names, a 200-hop routing loop, and a bounded soak in the monitor phase.
# Each test is a shell script with its own lab and Wine prefix, worked from outside by
# lumentrax_driver (window.cmake); they need root (under CI=true a missing root
# fails instead of skipping).
set(LUMENTRAX_HOSTILE_TESTS
  icmp_missing settings_unwritable settings_corrupt long_addresses reverse_names
  loop_200_hops soak)
foreach(name ${LUMENTRAX_HOSTILE_TESTS})
  add_test(NAME hostile_${name}
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/hostile/${name}_test.sh
                   $<TARGET_FILE:lumentrax> $<TARGET_FILE:lumentrax_driver>)
  set_tests_properties(hostile_${name} PROPERTIES SKIP_RETURN_CODE 77 LABELS "lab;hostile")
endforeach()
# The Options dialog's ranges, read from the header that defines them, for the test of
# what the dialog makes of a damaged settings file: LUMENTRAX_<NAME>_RANGE="LOW HIGH".
set(option_rules_header ${PROJECT_SOURCE_DIR}/engine/probe_options.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${option_rules_header})
file(STRINGS ${option_rules_header} option_range_lines REGEX "OptionRange k[A-Za-z]+Range{")
set(option_ranges "")
foreach(line ${option_range_lines})
  if(line MATCHES "k([A-Za-z]+)Range{(-?[0-9]+), (-?[0-9]+)}")
    string(TOUPPER ${CMAKE_MATCH_1} name)
    list(APPEND option_ranges "LUMENTRAX_${name}_RANGE=${CMAKE_MATCH_2} ${CMAKE_MATCH_3}")
  endif()
endforeach()
list(LENGTH option_ranges option_range_count)
if(NOT option_range_count EQUAL 3)
  message(FATAL_ERROR "expected three option ranges in ${option_rules_header}, found: ${option_ranges}")
endif()
set_tests_properties(hostile_settings_corrupt PROPERTIES ENVIRONMENT "${option_ranges}")
# The soak runs for LUMENTRAX_SOAK_SECONDS (default 120 under CI=true, 60 otherwise) after
# its lab and prefix are up; the limit leaves room for longer runs by hand. It mostly
# waits, so it starts first and the others run beside it.
set_tests_properties(hostile_soak PROPERTIES TIMEOUT 3600 COST 1000)

# A DLL planted beside the program (as icmp.dll and comctl32.dll) must never be loaded;
# by bare name (planted.dll) it loads until the start-up search restriction only.
add_library(planted_dll SHARED ${CMAKE_CURRENT_SOURCE_DIR}/hostile/planted_dll.cpp)
set_target_properties(planted_dll PROPERTIES PREFIX "" OUTPUT_NAME planted)
add_test(NAME hostile_planted_dlls
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/hostile/planted_dlls_test.sh
                 $<TARGET_FILE:lumentrax> $<TARGET_FILE:lumentrax_driver>
                 $<TARGET_FILE:planted_dll>)
set_tests_properties(hostile_planted_dlls PROPERTIES SKIP_RETURN_CODE 77 LABELS "lab;hostile")
add_executable(planted_dll_search_tests ${CMAKE_CURRENT_SOURCE_DIR}/hostile/planted_dll_search_test.cpp)
target_link_libraries(planted_dll_search_tests PRIVATE lumentrax_core GTest::gtest_main)
add_dependencies(planted_dll_search_tests planted_dll)
add_test(NAME win32_planted_dll_search COMMAND planted_dll_search_tests)
