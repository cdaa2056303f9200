# GoogleTest from Debian's source package, built with the project's own compiler so
# that the same sources serve the native and the MinGW build.
# Elsewhere (Windows with MSVC, say) point LUMENTRAX_GTEST_SOURCE at a GoogleTest
# checkout, or configure with -DLUMENTRAX_TESTS=OFF to build the program alone.
set(LUMENTRAX_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${LUMENTRAX_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources at ${LUMENTRAX_GTEST_SOURCE}: set LUMENTRAX_GTEST_SOURCE, or LUMENTRAX_TESTS=OFF")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${LUMENTRAX_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)
