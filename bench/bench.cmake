# Benchmark programs (run by scripts/bench, not by ctest): engine step overhead with the
# scripted echo service, and the monitor-phase echo rate with the Linux echo service.
set(bench_dir ${CMAKE_CURRENT_LIST_DIR})
add_executable(lumentrax_bench_engine ${bench_dir}/engine_bench.cpp ${bench_dir}/alloc_count.cpp)
target_link_libraries(lumentrax_bench_engine PRIVATE lumentrax_scripted_pinger)
add_executable(lumentrax_bench_echo ${bench_dir}/echo_bench.cpp ${bench_dir}/alloc_count.cpp)
target_link_libraries(lumentrax_bench_echo PRIVATE lumentrax_pinger)
