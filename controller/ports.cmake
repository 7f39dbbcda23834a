# Serial ports by name in the application: the Ports dialog and the port test
# that the application runs as a child of itself. Included at the end of
# controller/CMakeLists.txt.

# Pure logic: the probe's answers and line, the dialog's table.
add_library(qtr90x_ports_core STATIC core/port_probe.cpp core/port_table.cpp)
target_link_libraries(qtr90x_ports_core PUBLIC qtr90x_resources qzlink_ports)
qz_target_headers(qtr90x_ports_core PUBLIC BASE ${CMAKE_CURRENT_SOURCE_DIR}
  FILES core/port_probe.h core/port_table.h)

qz_add_gtest(controller_ports_core_tests
  SOURCES tests/port_probe_test.cpp tests/port_table_test.cpp
  LIBS qtr90x_ports_core)

if(NOT QZ_BUILD_GUI)
  return()
endif()

add_library(qtr90x_ports_ui STATIC ui/ports_dialog.cpp ui/port_probe.cpp)
target_link_libraries(qtr90x_ports_ui PUBLIC qtr90x_ports_core qzlink qzplatform Qt6::Widgets)
qz_target_headers(qtr90x_ports_ui PUBLIC BASE ${CMAKE_CURRENT_SOURCE_DIR}
  FILES ui/port_probe.h ui/ports_dialog.h)
# The port test talks to the camera through the application's one port,
# which is part of qtr90x_ui (which links this library in turn).
qz_target_headers(qtr90x_ports_ui PRIVATE BASE ${CMAKE_CURRENT_SOURCE_DIR} FILES ui/qzlink_port.h)
target_link_libraries(qtr90x_ui PUBLIC qtr90x_ports_ui)

# The dialog through the main dialog against the simulated camera; the port
# test runs the real application as its child.
qz_add_gui_test(controller_ports_tests TIMEOUT 120
  SOURCES tests/ports_test_main.cpp tests/ports_dialog_test.cpp)
add_dependencies(controller_ports_tests QTR90xControler)
target_compile_definitions(controller_ports_tests PRIVATE
  QTR90X_PATH="$<TARGET_FILE:QTR90xControler>")
