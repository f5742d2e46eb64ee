# Tests of the capture cycle and the sound-card picker in the main window, driven offscreen.
add_executable(test_capture_binding
    ${CMAKE_CURRENT_LIST_DIR}/test_capture_binding.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/../capture/ScriptedInput.h
)
set_target_properties(test_capture_binding PROPERTIES AUTOMOC ON)
target_include_directories(test_capture_binding PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../capture)
target_link_libraries(test_capture_binding PRIVATE acw_capture_binding Qt6::Test GTest::gtest)
gtest_discover_tests(test_capture_binding PROPERTIES ENVIRONMENT "${ACW_TEST_ENV}"
                     DISCOVERY_TIMEOUT 60)
