# Recordings of the adaptor read through libsndfile, resampled to 11025 Hz with libsoxr where
# they were made at another rate, and delivered as capture buffers (no Qt).
pkg_check_modules(SOXR REQUIRED IMPORTED_TARGET soxr)
add_library(acw_recording STATIC
    ${CMAKE_CURRENT_LIST_DIR}/RecordingReader.cpp
)
target_include_directories(acw_recording PUBLIC ${ACW_SOURCE_ROOT})
target_link_libraries(acw_recording PRIVATE PkgConfig::SNDFILE PkgConfig::SOXR)
