# Capture devices (sound cards through Qt Multimedia, the demo adaptor, recordings) and the
# capture cycle. Qt Core and Multimedia only; no widgets.
add_library(acw_capture STATIC
    ${CMAKE_CURRENT_LIST_DIR}/AudioDeviceInput.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AudioDeviceInput.h
    ${CMAKE_CURRENT_LIST_DIR}/BufferAssembler.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CaptureCycle.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CaptureCycle.h
    ${CMAKE_CURRENT_LIST_DIR}/PacedInput.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PacedInput.h
    ${CMAKE_CURRENT_LIST_DIR}/WaveInput.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WaveInput.h
    ${CMAKE_CURRENT_LIST_DIR}/WaveInputFactory.cpp
)
set_target_properties(acw_capture PROPERTIES AUTOMOC ON)
target_include_directories(acw_capture PUBLIC ${ACW_SOURCE_ROOT})
target_link_libraries(acw_capture PUBLIC acw_measure acw_recording Qt6::Core Qt6::Multimedia)
