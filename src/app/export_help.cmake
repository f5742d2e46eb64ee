# The picture export and the help window wired into the main window.
add_library(acw_export_help_binding STATIC
    ${CMAKE_CURRENT_LIST_DIR}/ExportHelpBinding.h
    ${CMAKE_CURRENT_LIST_DIR}/ExportHelpBinding.cpp
)
target_include_directories(acw_export_help_binding PUBLIC ${ACW_SOURCE_ROOT})
target_link_libraries(acw_export_help_binding
    PUBLIC acw_window acw_export acw_help Qt6::Widgets)
