# SPDX-License-Identifier: GPL-3.0-or-later
# A day of capture with the window open, faster than real time: memory and allocations.
add_executable(bench_soak ${CMAKE_CURRENT_LIST_DIR}/bench_soak.cpp)
target_link_libraries(bench_soak PRIVATE acw_bench_instrument acw_bench_allocations)
set_target_properties(bench_soak PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
