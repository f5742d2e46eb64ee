# SPDX-License-Identifier: GPL-3.0-or-later
# The power analysis: accuracy over the range of line signals it is meant for, and speed.
add_executable(bench_analysis ${CMAKE_CURRENT_LIST_DIR}/bench_analysis.cpp)
target_compile_options(bench_analysis PRIVATE -ffp-contract=off)
target_link_libraries(bench_analysis PRIVATE acw_measure benchmark::benchmark)
set_target_properties(bench_analysis PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
