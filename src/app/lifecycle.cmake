# Start-up, shutdown, the settings file on disk and the calibration controls.
add_library(acw_lifecycle STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CalibrationBinding.h
    ${CMAKE_CURRENT_LIST_DIR}/CalibrationBinding.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Lifecycle.h
    ${CMAKE_CURRENT_LIST_DIR}/Lifecycle.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SettingsStore.h
    ${CMAKE_CURRENT_LIST_DIR}/SettingsStore.cpp
)
target_include_directories(acw_lifecycle PUBLIC ${ACW_SOURCE_ROOT})
target_link_libraries(acw_lifecycle PUBLIC acw_window acw_calibration acw_headless Qt6::Widgets
    PRIVATE acw_common)
set_target_properties(acw_lifecycle PROPERTIES AUTOMOC ON)
