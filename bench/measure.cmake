# SPDX-License-Identifier: GPL-3.0-or-later
# The transform and the per-buffer engine. FFTW's single-precision transform runs in the same
# executable as a speed reference only; the program itself never links it.
pkg_check_modules(FFTW3F IMPORTED_TARGET fftw3f)
add_executable(bench_measure
    ${CMAKE_CURRENT_LIST_DIR}/bench_measure.cpp
    ${PROJECT_SOURCE_DIR}/tests/measure/ReferenceFFT.cpp
)
target_include_directories(bench_measure PRIVATE ${PROJECT_SOURCE_DIR}/tests/measure)
target_compile_options(bench_measure PRIVATE -ffp-contract=off)
target_link_libraries(bench_measure PRIVATE acw_measure benchmark::benchmark)
if(FFTW3F_FOUND)
    target_link_libraries(bench_measure PRIVATE PkgConfig::FFTW3F)
    target_compile_definitions(bench_measure PRIVATE ACW_BENCH_WITH_FFTW=1)
endif()
set_target_properties(bench_measure PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
