# The program `ac-wattmeter`, placed in the build folder's root (build/release/ac-wattmeter).
add_executable(ac-wattmeter ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(ac-wattmeter PRIVATE acw_headless)
set_target_properties(ac-wattmeter PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
# The window is linked in once its library provides runWindow(); until then the program runs
# headless only.
if(TARGET acw_window AND EXISTS ${CMAKE_CURRENT_LIST_DIR}/WindowMain.cpp)
    target_link_libraries(ac-wattmeter PRIVATE acw_window)
    target_compile_definitions(ac-wattmeter PRIVATE ACW_HAVE_WINDOW=1)
endif()
