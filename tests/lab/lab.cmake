# Lab tests: lumentrax-trace in routed network namespaces (scripts/lab). They need root;
# without it they report "skipped" (77), except under CI=true, where they fail.
set(lab_dir ${CMAKE_CURRENT_LIST_DIR})
foreach(mode datagram raw)
  add_test(NAME lab_trace_${mode}
           COMMAND bash ${lab_dir}/trace_test.sh ${mode} $<TARGET_FILE:lumentrax-trace>)
endforeach()
set_tests_properties(lab_trace_datagram lab_trace_raw PROPERTIES
  SKIP_RETURN_CODE 77 LABELS lab)
foreach(mode datagram raw)
  add_test(NAME lab_forged_answers_${mode}
           COMMAND bash ${lab_dir}/forged_answers_test.sh ${mode} $<TARGET_FILE:lumentrax-trace>)
  set_tests_properties(lab_forged_answers_${mode} PROPERTIES SKIP_RETURN_CODE 77 LABELS lab)
endforeach()
add_test(NAME trace_command_line
         COMMAND bash ${lab_dir}/trace_cli_test.sh $<TARGET_FILE:lumentrax-trace>
                 ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
