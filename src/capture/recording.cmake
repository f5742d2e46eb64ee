# Recordings of the adaptor read through libsndfile and delivered as capture buffers (no Qt).
add_library(acw_recording STATIC
    ${CMAKE_CURRENT_LIST_DIR}/RecordingReader.cpp
)
target_include_directories(acw_recording PUBLIC ${ACW_SOURCE_ROOT})
target_link_libraries(acw_recording PRIVATE PkgConfig::SNDFILE)
