# A scripted echo service for tests of the engine's algorithm: answers from a table.
# Included by each folder that links it (the unit and Win32 tests, the engine
# benchmark), so that it is built only where something uses it.
include_guard(GLOBAL)
add_library(lumentrax_scripted_pinger STATIC ${PROJECT_SOURCE_DIR}/engine/hop_table.cpp
            ${PROJECT_SOURCE_DIR}/route/route_check.cpp
            ${CMAKE_CURRENT_LIST_DIR}/scripted_pinger.cpp)
target_link_libraries(lumentrax_scripted_pinger PUBLIC lumentrax_core)
target_include_directories(lumentrax_scripted_pinger PUBLIC ${CMAKE_CURRENT_LIST_DIR})
