# Tests of the recording reader: recordings are generated into temporary folders.
add_executable(test_recording_reader ${CMAKE_CURRENT_LIST_DIR}/test_recording_reader.cpp)
target_link_libraries(test_recording_reader
    PRIVATE acw_recording acw_measure PkgConfig::SNDFILE GTest::gtest_main)
gtest_discover_tests(test_recording_reader TEST_PREFIX "test_recording_reader."
    DISCOVERY_MODE PRE_TEST)
