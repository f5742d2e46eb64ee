# The main window: the instrument's face, the readout panel and the scope controls.
add_library(acw_window STATIC
    MainWindow.h
    MainWindow.cpp
    WindowControls.h
    WindowControls.cpp
    WindowLayout.cpp
    WindowMain.h
    WindowMain.cpp
    WindowPrivate.h
    WindowScopeControls.cpp
)
target_include_directories(acw_window PUBLIC ${ACW_SOURCE_ROOT})
target_link_libraries(acw_window PUBLIC Qt6::Widgets acw_measure acw_scope acw_scope_image)
set_target_properties(acw_window PROPERTIES AUTOMOC ON)
