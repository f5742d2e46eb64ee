# One complete scope picture into the off-screen image.
add_executable(bench_scope ${CMAKE_CURRENT_SOURCE_DIR}/bench_scope.cpp)
target_link_libraries(bench_scope PRIVATE acw_scope_image benchmark::benchmark_main)
