# Settings file text, the command line and headless measuring. No Qt Widgets: Qt Core serves only
# to name the user's configuration folder.
add_library(acw_headless STATIC
    ${CMAKE_CURRENT_LIST_DIR}/SettingsFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CommandLine.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HeadlessMeasure.cpp
)
target_include_directories(acw_headless PUBLIC ${ACW_SOURCE_ROOT})
target_link_libraries(acw_headless PUBLIC acw_measure acw_recording PRIVATE Qt6::Core)
target_compile_definitions(acw_headless PRIVATE ACW_VERSION="${PROJECT_VERSION}")

# Headless work on the capture layer: the device list and live measuring of a sound card
# (Qt Core and Multimedia through acw_capture; no widgets).
add_library(acw_headless_live STATIC
    ${CMAKE_CURRENT_LIST_DIR}/HeadlessLive.cpp
)
target_include_directories(acw_headless_live PUBLIC ${ACW_SOURCE_ROOT})
target_link_libraries(acw_headless_live PUBLIC acw_headless PRIVATE acw_capture Qt6::Core)
