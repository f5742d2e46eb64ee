# Tests of the capture devices and the capture cycle (Qt Core, no widgets).
add_executable(test_capture_cycle
    ${CMAKE_CURRENT_LIST_DIR}/qt_core_test_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ScriptedInput.h
    ${CMAKE_CURRENT_LIST_DIR}/test_capture_cycle.cpp
)
set_target_properties(test_capture_cycle PROPERTIES AUTOMOC ON)
target_include_directories(test_capture_cycle PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(test_capture_cycle PRIVATE acw_capture Qt6::Test GTest::gtest)
gtest_discover_tests(test_capture_cycle PROPERTIES ENVIRONMENT "${ACW_TEST_ENV}"
                     DISCOVERY_TIMEOUT 60)

add_executable(test_capture_devices
    ${CMAKE_CURRENT_LIST_DIR}/qt_core_test_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_capture_devices.cpp
)
target_link_libraries(test_capture_devices PRIVATE acw_capture Qt6::Test GTest::gtest
                      PkgConfig::SNDFILE)
gtest_discover_tests(test_capture_devices PROPERTIES ENVIRONMENT "${ACW_TEST_ENV}"
                     DISCOVERY_TIMEOUT 60)

# End to end through a private PulseAudio daemon (pulseaudio must be installed; the test skips
# itself, saying why, when it is not). Labelled so that it is reported on its own.
# The program's window runs in it too, as a child process that ends the way the program does.
add_executable(test_capture_pulseaudio_e2e
    ${CMAKE_CURRENT_LIST_DIR}/test_capture_pulseaudio_e2e.cpp
    ${ACW_SOURCE_ROOT}/app/ProgramWindow.cpp
)
target_link_libraries(test_capture_pulseaudio_e2e PRIVATE acw_capture acw_capture_binding
                      acw_lifecycle acw_export_help_binding acw_headless acw_window Qt6::Test
                      GTest::gtest PkgConfig::SNDFILE)
add_test(NAME capture_pulseaudio_e2e COMMAND test_capture_pulseaudio_e2e)
set_tests_properties(capture_pulseaudio_e2e PROPERTIES
    ENVIRONMENT "${ACW_TEST_ENV}" LABELS "e2e;pulseaudio" TIMEOUT 180 RUN_SERIAL ON)
