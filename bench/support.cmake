# SPDX-License-Identifier: GPL-3.0-or-later
# What several benchmarks share.
# - acw_bench_support: a temporary folder, numbers from the environment, CPU time and resident
#   memory (plain C++).
# - acw_bench_allocations: counted allocations. It replaces the global operator new, so only the
#   benchmarks that count link it.
# - acw_bench_application: main() with an offscreen application object.
# - acw_bench_readings: a day of a fridge's readings, for the trend and the energy integrator.
# - acw_bench_instrument: the instrument with its window as the program starts it, over a
#   settings file of its own.
add_library(acw_bench_support STATIC ${CMAKE_CURRENT_LIST_DIR}/BenchSupport.cpp)
target_include_directories(acw_bench_support PUBLIC ${CMAKE_CURRENT_LIST_DIR})

add_library(acw_bench_allocations OBJECT ${CMAKE_CURRENT_LIST_DIR}/AllocationCount.cpp)
target_link_libraries(acw_bench_allocations PUBLIC acw_bench_support)

add_library(acw_bench_application STATIC ${CMAKE_CURRENT_LIST_DIR}/BenchApplication.cpp)
target_include_directories(acw_bench_application PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(acw_bench_application PUBLIC Qt6::Widgets benchmark::benchmark)

add_library(acw_bench_readings STATIC ${CMAKE_CURRENT_LIST_DIR}/FridgeDay.cpp)
target_include_directories(acw_bench_readings PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_compile_options(acw_bench_readings PRIVATE -ffp-contract=off)
target_link_libraries(acw_bench_readings PUBLIC acw_measure)

add_library(acw_bench_instrument STATIC ${CMAKE_CURRENT_LIST_DIR}/BenchInstrument.cpp)
target_link_libraries(acw_bench_instrument PUBLIC acw_bench_support acw_bench_application acw_app)
