# Start-up, shutdown, the settings file on disk and calibration, on the real window (offscreen).
add_executable(test_lifecycle
    ${CMAKE_CURRENT_LIST_DIR}/test_lifecycle_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_lifecycle_fixture.h
    ${CMAKE_CURRENT_LIST_DIR}/test_lifecycle.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_lifecycle_calibration.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_settings_store.cpp
)
target_link_libraries(test_lifecycle PRIVATE acw_lifecycle Qt6::Test GTest::gtest)
gtest_discover_tests(test_lifecycle DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "${ACW_TEST_ENV}")
