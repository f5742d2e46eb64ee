# SPDX-License-Identifier: GPL-3.0-or-later
# CPU load of the instrument while it captures the demo adaptor with its windows open.
add_executable(bench_capture ${CMAKE_CURRENT_LIST_DIR}/bench_capture.cpp)
target_link_libraries(bench_capture PRIVATE acw_bench_instrument acw_bench_readings)
set_target_properties(bench_capture PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
