# SPDX-License-Identifier: GPL-3.0-or-later
# The readings log and the input recorder: append() on the measuring thread, slow and stalled disks.
add_executable(bench_record ${CMAKE_CURRENT_LIST_DIR}/bench_record.cpp)
target_link_libraries(bench_record PRIVATE acw_record acw_bench_support benchmark::benchmark)
set_target_properties(bench_record PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
