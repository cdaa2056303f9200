# The release package of scripts/package: two builds in different folders compared, then
# the zip and its exe checked, the exe under Wine in the namespace lab (root; under
# CI=true a missing root fails instead of skipping).
add_test(NAME win32_package
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/package_test.sh
                 ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}
                 ${PROJECT_VERSION} $<TARGET_FILE:lumentrax_driver>)
# It takes long (two release builds), so it starts early, beside the soak.
set_tests_properties(win32_package PROPERTIES SKIP_RETURN_CODE 77 LABELS "lab;package"
                     COST 900 TIMEOUT 1800)
