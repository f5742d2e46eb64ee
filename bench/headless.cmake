# SPDX-License-Identifier: GPL-3.0-or-later
# Headless measuring of a one-hour recording (generated into a temporary folder at run time).
add_executable(bench_headless ${CMAKE_CURRENT_LIST_DIR}/bench_headless.cpp)
target_link_libraries(bench_headless PRIVATE acw_cli acw_bench_support PkgConfig::SNDFILE
    benchmark::benchmark)
set_target_properties(bench_headless PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
