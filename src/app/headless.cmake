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
