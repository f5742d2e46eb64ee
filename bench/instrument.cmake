# SPDX-License-Identifier: GPL-3.0-or-later
# The instrument with its window as the program starts it, for bench_capture and bench_soak.
add_library(acw_bench_instrument STATIC ${CMAKE_CURRENT_LIST_DIR}/BenchInstrument.cpp)
target_link_libraries(acw_bench_instrument PUBLIC acw_bench_support acw_app benchmark::benchmark)
