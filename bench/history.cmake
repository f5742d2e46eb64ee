# SPDX-License-Identifier: GPL-3.0-or-later
# The trend chart's 24-hour redraw and the energy integrator over a day of buffers.
add_executable(bench_history ${CMAKE_CURRENT_LIST_DIR}/bench_history.cpp)
target_compile_options(bench_history PRIVATE -ffp-contract=off)
target_link_libraries(bench_history PRIVATE acw_history acw_bench_readings acw_bench_application)
set_target_properties(bench_history PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
