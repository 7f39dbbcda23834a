# Tests of the Windows build, run under Wine (scripts/run-windows-tests.sh).

# The DLL as Windows clients bind it: by name, in stdcall.
qz_add_gtest(camlink_win32_exports_test SOURCES win32_exports_test.cpp LIBS qzplatform)
target_include_directories(camlink_win32_exports_test PRIVATE
  $<TARGET_PROPERTY:qzlink,INTERFACE_INCLUDE_DIRECTORIES>)
add_dependencies(camlink_win32_exports_test qzlink)

# The Win32 communications backend: its pure helpers, and a port that
# run-windows-tests.sh maps to the simulator (QZ_TEST_SIM_PORT) or to a
# missing device (QZ_TEST_MISSING_PORT).
qz_add_gtest(camlink_win32_serial_test SOURCES win32_serial_port_test.cpp
  LIBS qzlink_session qzlink_core)

# The Winsock network port against a device server of the test's own on
# loopback.
qz_add_gtest(camlink_win32_rfc2217_test SOURCES win32_rfc2217_serial_port_test.cpp
  LIBS qzlink_session qzlink_core ws2_32)

# The public header as plain C for MinGW callers.
add_library(qzlink_header_c_check OBJECT qzlink_header_check.c)
target_include_directories(qzlink_header_c_check PRIVATE
  $<TARGET_PROPERTY:qzlink,INTERFACE_INCLUDE_DIRECTORIES>
  $<TARGET_PROPERTY:qzplatform,INTERFACE_INCLUDE_DIRECTORIES>)
set_target_properties(qzlink_header_c_check PROPERTIES C_STANDARD 99 C_EXTENSIONS OFF)
target_compile_options(qzlink_header_c_check PRIVATE -Wall -Wextra -Werror)
add_dependencies(camlink_win32_serial_test qzlink_header_c_check)
