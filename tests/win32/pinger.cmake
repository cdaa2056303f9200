# The Windows echo service (ICMP.DLL under Wine) in the namespace lab: a console probe
# and the shell test that runs it inside the lab's client namespace. Needs root.
add_executable(pinger_probe ${CMAKE_CURRENT_LIST_DIR}/pinger_probe.cpp)
target_link_libraries(pinger_probe PRIVATE lumentrax_pinger)
add_test(NAME win32_pinger_lab
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/pinger_lab_test.sh $<TARGET_FILE:pinger_probe>)
set_tests_properties(win32_pinger_lab PROPERTIES SKIP_RETURN_CODE 77 LABELS lab)
