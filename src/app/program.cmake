# The program `ac-wattmeter`, placed in the build folder's root (build/release/ac-wattmeter).
add_executable(ac-wattmeter
    ${CMAKE_CURRENT_LIST_DIR}/main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProgramWindow.h
    ${CMAKE_CURRENT_LIST_DIR}/ProgramWindow.cpp
)
target_link_libraries(ac-wattmeter PRIVATE
    acw_headless acw_headless_live acw_window acw_capture_binding acw_lifecycle
    acw_export_help_binding)
set_target_properties(ac-wattmeter PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
