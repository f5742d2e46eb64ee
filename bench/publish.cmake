# SPDX-License-Identifier: GPL-3.0-or-later
# The MQTT publisher: the cost of a hand-over to the measuring thread (broker down and up, with
# allocations counted) and the time states take to flow again after a broker's outage. Starts
# its own mosquitto on 127.0.0.1 through the tests' broker fixture.
add_executable(bench_publish ${CMAKE_CURRENT_LIST_DIR}/bench_publish.cpp)
target_include_directories(bench_publish PRIVATE ${PROJECT_SOURCE_DIR}/tests/publish)
target_link_libraries(bench_publish PRIVATE acw_publish acw_bench_allocations benchmark::benchmark)
set_target_properties(bench_publish PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
