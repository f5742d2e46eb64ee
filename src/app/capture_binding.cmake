# The capture cycle and the sound-card picker wired into the main window.
add_library(acw_capture_binding STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CaptureBinding.h
    ${CMAKE_CURRENT_LIST_DIR}/CaptureBinding.cpp
)
target_include_directories(acw_capture_binding PUBLIC ${ACW_SOURCE_ROOT})
target_link_libraries(acw_capture_binding PUBLIC acw_window acw_capture Qt6::Widgets)
set_target_properties(acw_capture_binding PROPERTIES AUTOMOC ON)
