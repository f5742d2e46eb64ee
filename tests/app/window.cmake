# Tests of the main window, driven offscreen.
add_executable(test_main_window
    test_main_window_main.cpp
    test_main_window_support.h
    test_main_window.cpp
    test_main_window_scope.cpp
)
target_link_libraries(test_main_window PRIVATE acw_window Qt6::Test GTest::gtest)
gtest_discover_tests(test_main_window TEST_PREFIX "test_main_window."
    PROPERTIES ENVIRONMENT "${ACW_TEST_ENV}")
