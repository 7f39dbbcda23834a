# The network control service on real camera lines: the hub over camera
# links, one line each, on Qt Core alone (the daemon has no Widgets). The
# application adds its settings dialog; qzlinkd/ hosts it without a window.
add_library(qtr90x_network STATIC
  ui/network/line_protocol.cpp ui/network/link_line.cpp ui/network/link_hub.cpp
  ui/network/line_backend.h ui/network/link_line.h ui/network/link_hub.h)
set_target_properties(qtr90x_network PROPERTIES AUTOMOC ON)
target_link_libraries(qtr90x_network PUBLIC qtr90x_link qznetcontrol qzlink_ports Qt6::Core)
qz_target_headers(qtr90x_network PUBLIC BASE ${CMAKE_CURRENT_SOURCE_DIR}
  FILES ui/network/line_backend.h ui/network/line_protocol.h ui/network/link_line.h
    ui/network/link_hub.h)

qz_add_gtest(controller_network_tests
  SOURCES tests/network/line_protocol_test.cpp
  LIBS qtr90x_network)
