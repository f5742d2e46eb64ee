# SPDX-License-Identifier: GPL-3.0-or-later
# One complete scope picture into the off-screen image.
add_executable(bench_scope ${CMAKE_CURRENT_LIST_DIR}/bench_scope.cpp)
target_link_libraries(bench_scope PRIVATE acw_scope_image benchmark::benchmark_main)
set_target_properties(bench_scope PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
