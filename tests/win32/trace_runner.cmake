# lumentrax-trace.exe: the Linux runner's command-line test under Wine (loopback only), and
# its table against the native runner's in the lab (root; CI=true fails instead of skips).
set(LUMENTRAX_NATIVE_TRACE ${PROJECT_SOURCE_DIR}/build/native/lumentrax-trace CACHE FILEPATH "The native lumentrax-trace")
add_test(NAME win32_trace_command_line
         COMMAND bash ${PROJECT_SOURCE_DIR}/tests/lab/trace_cli_test.sh ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}
                 bash ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh $<TARGET_FILE:lumentrax-trace>)
add_test(NAME lab_trace_runners COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/lab_trace_runners_test.sh
                                        $<TARGET_FILE:lumentrax-trace> ${LUMENTRAX_NATIVE_TRACE})
set_tests_properties(lab_trace_runners PROPERTIES SKIP_RETURN_CODE 77 LABELS lab)
