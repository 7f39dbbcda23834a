# The operator application: its pages, tool windows and bitmaps on Qt
# Widgets, and the tests that drive them on the offscreen platform and under
# Xvfb. Included from controller/CMakeLists.txt when QZ_BUILD_GUI is on.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
set(CMAKE_AUTOMOC ON)

# The pages, sub-panels, buttons and tool windows, with the bitmaps they load.
add_library(qtr90x_ui STATIC
  ui/bitmaps.cpp ui/message_box.cpp ui/direction_button.cpp ui/action_slider.cpp ui/tab_page.cpp
  ui/adjust_page.cpp ui/auto_exposure_panel.cpp ui/manual_exposure_panel.cpp ui/picture_page.cpp
  ui/system_page.cpp ui/preset_combo.cpp ui/preset_name_dialog.cpp ui/input_command_window.cpp
  ui/debug_window.cpp ui/about_box.cpp
  ui/main_dialog.cpp ui/main_dialog_engine.cpp app/single_instance.cpp app/controller_app.cpp)
target_link_libraries(qtr90x_ui PUBLIC qtr90x_link qtr90x_resources qzlink qzplatform Qt6::Widgets)
# The network control service's settings dialog, where the service is built.
if(QZ_HAVE_NETCONTROL)
  target_sources(qtr90x_ui PRIVATE ui/network/network_control.cpp ui/network/network_dialog.cpp)
  target_link_libraries(qtr90x_ui PUBLIC qtr90x_network)
  target_compile_definitions(qtr90x_ui PRIVATE QZ_HAVE_NETCONTROL=1)
endif()
qz_target_headers(qtr90x_ui PUBLIC BASE ${CMAKE_CURRENT_SOURCE_DIR}
  FILES ui/*.h app/*.h ui/network/network_control.h ui/network/network_dialog.h
  EXCLUDE ui/port_probe.h ui/ports_dialog.h ui/camera_link.h
    ui/engine_view.h ui/library_window.h ui/message_event.h ui/qzlink_port.h)
# The application's name and icon on the desktop (cmake/InstallLayout.cmake).
target_sources(qtr90x_ui PRIVATE app/desktop_identity.cpp)
set_property(SOURCE app/desktop_identity.cpp APPEND PROPERTY COMPILE_DEFINITIONS
  QZ_APP_ID="${QZ_APP_ID}")
file(GLOB QTR90X_BITMAPS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS resources/bitmaps/*.png)
qt_add_resources(qtr90x_ui qtr90x_bitmaps PREFIX /bitmaps BASE resources/bitmaps FILES ${QTR90X_BITMAPS})

add_executable(QTR90xControler main.cpp app/command_line.cpp)
target_link_libraries(QTR90xControler PRIVATE qtr90x_ui qtr90x_resources qzlink qzplatform Qt6::Widgets
  qz_version)
qz_install_program(QTR90xControler controller LIBS PUBLIC)
qz_add_command_line_test(QTR90xControler)

target_include_directories(QTR90xControler PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})

# The pages, buttons and tool windows on the offscreen platform, against the
# simulated camera.
find_package(Qt6 REQUIRED COMPONENTS Test)
add_library(controller_gui_support STATIC tests/gui_test_support.cpp)
target_link_libraries(controller_gui_support PUBLIC qtr90x_ui Qt6::Test)
qz_target_headers(controller_gui_support PUBLIC BASE ${CMAKE_CURRENT_SOURCE_DIR}
  FILES tests/gui_test_support.h)
target_compile_definitions(controller_gui_support PUBLIC CAMSIM_PATH="$<TARGET_FILE:qtr90x-camsim>")
add_dependencies(controller_gui_support qtr90x-camsim)
qz_compile_as_test(controller_gui_support)

# A Qt Test program on the offscreen platform, labelled gui.
# usage: qz_add_gui_test(NAME TIMEOUT SECONDS ENVIRONMENT VARS... SOURCES FILES...)
function(qz_add_gui_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "ENVIRONMENT;SOURCES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE controller_gui_support)
  qz_compile_as_test(${name})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS gui TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "${QZ_TEST_ENVIRONMENT};QT_QPA_PLATFORM=offscreen;${ARG_ENVIRONMENT}")
endfunction()

qz_add_gui_test(controller_gui_tests TIMEOUT 120
  SOURCES tests/gui_test_main.cpp tests/direction_button_test.cpp tests/pages_test.cpp
    tests/tool_windows_test.cpp tests/screenshot_test.cpp)

# The dialog's bitmaps at 1x and 2x, on a screen of scale 1 and of scale 2.
qz_add_gui_test(controller_bitmaps_tests TIMEOUT 60 SOURCES tests/bitmaps_test.cpp)
add_test(NAME controller_bitmaps_tests_scale2 COMMAND controller_bitmaps_tests)
set_tests_properties(controller_bitmaps_tests_scale2 PROPERTIES LABELS gui TIMEOUT 60
  ENVIRONMENT "${QZ_TEST_ENVIRONMENT};QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=2")

# What only a real X server shows (modality, key auto-repeat), under Xvfb
# with xdotool's input; skipped where they are missing.
add_executable(controller_x11_tests tests/x11_input_test.cpp)
target_link_libraries(controller_x11_tests PRIVATE controller_gui_support)
qz_compile_as_test(controller_x11_tests)
add_test(NAME controller_x11_tests
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/tests/run_under_xvfb.sh $<TARGET_FILE:controller_x11_tests>)
set_tests_properties(controller_x11_tests PROPERTIES LABELS "gui;x11" TIMEOUT 120
  SKIP_RETURN_CODE 77 ENVIRONMENT "${QZ_TEST_ENVIRONMENT}")

# The whole main dialog against the simulated camera. The library traces
# every frame into a file of this test, which the tests read back.
qz_add_gui_test(controller_app_tests TIMEOUT 180
  ENVIRONMENT QZLINK_TRACE=${CMAKE_CURRENT_BINARY_DIR}/controller_app_tests.trace
  SOURCES tests/app_test_main.cpp tests/main_dialog_test.cpp)

# The main dialog on a cascade of two simulated cameras.
qz_add_gui_test(controller_cascade_tests TIMEOUT 120
  ENVIRONMENT QZLINK_TRACE=${CMAKE_CURRENT_BINARY_DIR}/controller_cascade_tests.trace
  SOURCES tests/cascade_test.cpp)
