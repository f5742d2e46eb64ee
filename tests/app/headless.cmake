# Tests of the settings file text, the command line parser and the program run headless.
add_executable(test_settings_file ${CMAKE_CURRENT_LIST_DIR}/test_settings_file.cpp)
target_link_libraries(test_settings_file PRIVATE acw_headless GTest::gtest_main)
gtest_discover_tests(test_settings_file TEST_PREFIX "test_settings_file."
    DISCOVERY_MODE PRE_TEST)

add_executable(test_cli_options ${CMAKE_CURRENT_LIST_DIR}/test_cli_options.cpp)
target_link_libraries(test_cli_options PRIVATE acw_headless GTest::gtest_main)
gtest_discover_tests(test_cli_options TEST_PREFIX "test_cli_options." DISCOVERY_MODE PRE_TEST)

# Runs the real program; it is built before this test.
add_executable(test_cli ${CMAKE_CURRENT_LIST_DIR}/test_cli.cpp)
target_link_libraries(test_cli PRIVATE acw_measure PkgConfig::SNDFILE GTest::gtest_main)
target_compile_definitions(test_cli PRIVATE ACW_PROGRAM="$<TARGET_FILE:ac-wattmeter>")
add_dependencies(test_cli ac-wattmeter)
gtest_discover_tests(test_cli TEST_PREFIX "test_cli." DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "${ACW_TEST_ENV}")

# Live measuring and the device list through a private PulseAudio daemon with a pipe source
# (pulseaudio must be installed; the test skips itself, saying why, when it is not).
add_executable(test_headless_live ${CMAKE_CURRENT_LIST_DIR}/test_headless_live.cpp)
target_link_libraries(test_headless_live PRIVATE acw_measure PkgConfig::SNDFILE GTest::gtest)
target_compile_definitions(test_headless_live PRIVATE ACW_PROGRAM="$<TARGET_FILE:ac-wattmeter>")
add_dependencies(test_headless_live ac-wattmeter)
add_test(NAME headless_live COMMAND test_headless_live)
set_tests_properties(headless_live PROPERTIES
    ENVIRONMENT "${ACW_TEST_ENV}" LABELS "e2e;pulseaudio" TIMEOUT 240 RUN_SERIAL ON)
