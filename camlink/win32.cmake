# The Windows build of the camera link library: QZLINK.dll (and the same
# library as QZLINKE.DLL, the name the control loads) with the designed
# exports in the Win32 standard calling convention, its MinGW import library
# and the .def for MSVC users.

# The ports by name: the mapping in the registry, the COM names present.
add_library(qzlink_ports STATIC port_mapping.cpp serial_devices_win32.cpp)
target_link_libraries(qzlink_ports PUBLIC qzlink_core qzplatform)
qz_target_headers(qzlink_ports PUBLIC FILES camlink/port_mapping.h camlink/serial_devices.h)

# The Win32 edge: the communications device, the network port on Winsock
# (with the name lookup of the POSIX one), the reader thread, the trace and
# the session.
add_library(qzlink_session STATIC
  win32_serial_port.cpp
  rfc2217_connection.cpp
  win32_rfc2217_serial_port.cpp
  name_resolver.cpp
  serial_port_selector.cpp
  port_reader_win32.cpp
  frame_trace.cpp
  camera_session.cpp
)
target_link_libraries(qzlink_session PUBLIC qzlink_core qzlink_ports qzplatform Threads::Threads
  ws2_32)
qz_target_headers(qzlink_session PUBLIC FILES
  camlink/camera_session.h camlink/frame_trace.h camlink/name_resolver.h camlink/port_reader.h
  camlink/rfc2217_connection.h
  camlink/serial_port.h camlink/serial_port_selector.h camlink/win32_rfc2217_serial_port.h
  camlink/win32_serial_port.h)

# The export lists, generated from the one list of exports.
set(QZ_EXPORT_DIR ${CMAKE_CURRENT_BINARY_DIR}/exports)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(QZ_STDCALL_DECORATION ON)
else()
  set(QZ_STDCALL_DECORATION OFF)
endif()
add_custom_command(
  OUTPUT ${QZ_EXPORT_DIR}/QZLINK.def ${QZ_EXPORT_DIR}/qzlink-link.def
         ${QZ_EXPORT_DIR}/qzlink-implib.def
  COMMAND ${CMAKE_COMMAND} -DINC=${CMAKE_CURRENT_SOURCE_DIR}/qzlink_exports.inc
          -DOUT_DIR=${QZ_EXPORT_DIR} -DSTDCALL=${QZ_STDCALL_DECORATION}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/generate_export_lists.cmake
  DEPENDS qzlink_exports.inc generate_export_lists.cmake
  COMMENT "Generating the Windows export lists"
  VERBATIM)
add_custom_target(qzlink_export_lists DEPENDS ${QZ_EXPORT_DIR}/QZLINK.def)

add_library(qzlink SHARED exports_session.cpp exports_camera.cpp ${QZ_EXPORT_DIR}/qzlink-link.def)
add_dependencies(qzlink qzlink_export_lists)
target_compile_definitions(qzlink PRIVATE QZLINK_BUILDING)
target_link_libraries(qzlink PRIVATE qzlink_session qzlink_ports qzlink_core Threads::Threads
  PUBLIC qzplatform)
qz_target_headers(qzlink PUBLIC FILES camlink/qzlink.h camlink/qzlink_exports.inc)
qz_target_headers(qzlink PRIVATE FILES camlink/exports_common.h)
set_target_properties(qzlink PROPERTIES OUTPUT_NAME QZLINK PREFIX "" SUFFIX ".dll"
  IMPORT_PREFIX "lib" IMPORT_SUFFIX ".dll.a")
# ld's own import library names the functions as a cdecl caller would
# (__imp__QzOpen); a caller of the stdcall declarations needs
# __imp__QzOpen@24. dlltool's, from qzlink-implib.def, replaces it, so that
# the programs here link against the same import library as users do. The
# same DLL is also QZLINKE.DLL.
add_custom_command(TARGET qzlink POST_BUILD
  COMMAND ${CMAKE_DLLTOOL} -k -d ${QZ_EXPORT_DIR}/qzlink-implib.def -D QZLINK.dll
          -l $<TARGET_LINKER_FILE:qzlink>
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:qzlink>
          $<TARGET_FILE_DIR:qzlink>/QZLINKE.DLL
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QZ_EXPORT_DIR}/QZLINK.def
          $<TARGET_FILE_DIR:qzlink>/QZLINK.def
  VERBATIM)

install(TARGETS qzlink RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT qzlink
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT qzlink_dev)
install(FILES $<TARGET_FILE_DIR:qzlink>/QZLINKE.DLL DESTINATION ${CMAKE_INSTALL_BINDIR}
  COMPONENT qzlink)
install(FILES qzlink.h ${QZ_EXPORT_DIR}/QZLINK.def
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/qzlink COMPONENT qzlink_dev)
install(FILES ${PROJECT_SOURCE_DIR}/platform/msgwindow.h ${PROJECT_SOURCE_DIR}/platform/win32_types.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/qzlink/platform COMPONENT qzlink_dev)

add_subdirectory(tests)
