# The Debian packages, one per install component (cmake/InstallLayout.cmake):
#
#   libqzlink1         libqzlink.so.1, the platform library libqzplatform.so.1
#                      it uses, and the control's name for it, libqzlinke.so
#   libqzlink-dev      qzlink.h, the link-time names, qzlink.pc, the CMake
#                      package, qzlink(3)
#   qzlink-tools       qzcli, qzscript, qzregsvr, the control module, the
#                      simulated camera, example scripts
#   qtr90x-controller  the operator application, its menu entry, icons and
#                      AppStream metadata
#   qzlinkd            the network control daemon, its systemd user units and
#                      manual page (where Qt's HttpServer and WebSockets are)
#
# The run-time library package is named after the SONAME (libqzlink.so.1).
# libqzplatform.so.1 shares it: the two SONAMEs change together
# (QZ_SOVERSION), the case in which Debian's policy lets libraries share a
# package. Versions come from project(VERSION) and the changelog's revision;
# run-time dependencies are computed by dpkg-shlibdeps, those between our own
# packages are exact versions. scripts/build-packages.sh runs cpack in the
# build tree and checks the result.
#
# A description's first line is the package's synopsis. CPack strips the
# last line of a description, so one that ends in an indented (verbatim)
# line ends with a newline.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qzlink)
set(CPACK_PACKAGE_VENDOR Orveda)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QZ_CHANGELOG_MAINTAINER}")
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${QZ_COMPONENTS})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${QZ_CHANGELOG_REVISION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QZ_CHANGELOG_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SOURCE qzlink)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Run-time dependencies from the ELF files. Our own libraries have no
# dependency information before they are installed: dpkg-shlibdeps finds them
# in the build tree and leaves them out, and the component dependencies below
# name their package with its exact version.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
  ${PROJECT_BINARY_DIR}/camlink ${PROJECT_BINARY_DIR}/platform ${PROJECT_BINARY_DIR}/platform/automation)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_QZLINK_DEV_DEPENDS qzlink)
set(CPACK_COMPONENT_TOOLS_DEPENDS qzlink)
set(CPACK_COMPONENT_CONTROLLER_DEPENDS qzlink)
set(CPACK_COMPONENT_QZLINKD_DEPENDS qzlink)

foreach(component IN LISTS QZ_COMPONENTS)
  string(TOUPPER ${component} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${QZ_PACKAGE_${component}})
endforeach()

set(CPACK_DEBIAN_QZLINK_PACKAGE_SECTION libs)
# The library package's shlibs file (which package, from which version, a
# program linked against each SONAME needs) and its ldconfig trigger. CPack
# can generate a shlibs file only for every package at once, which would
# list the private automation core of the tools too.
set(_qz_control ${CMAKE_CURRENT_BINARY_DIR}/control/${QZ_PACKAGE_qzlink})
file(WRITE ${_qz_control}/shlibs.new
  "libqzlink ${QZ_SOVERSION} ${QZ_PACKAGE_qzlink} (>= ${PROJECT_VERSION})\n"
  "libqzplatform ${QZ_SOVERSION} ${QZ_PACKAGE_qzlink} (>= ${PROJECT_VERSION})\n")
file(WRITE ${_qz_control}/triggers.new "activate-noawait ldconfig\n")
foreach(file IN ITEMS shlibs triggers)
  file(COPY_FILE ${_qz_control}/${file}.new ${_qz_control}/${file} ONLY_IF_DIFFERENT)
  file(REMOVE ${_qz_control}/${file}.new)
endforeach()
set(CPACK_DEBIAN_QZLINK_PACKAGE_CONTROL_EXTRA ${_qz_control}/shlibs ${_qz_control}/triggers)
set(CPACK_COMPONENT_QZLINK_DESCRIPTION
"camera link library for QT-R90x and QT-R7 pan/tilt/zoom cameras
The library drives QT-R90x, QT-R90xN and QT-R7 cameras over an RS-232C line,
several cameras in a cascade on one line, or over a port of a serial device
server (RFC 2217). Each of its functions sends one command frame; answers and
notifications arrive as messages to a window of the program.
.
This package holds the run-time libraries.")

set(CPACK_DEBIAN_QZLINK_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_QZLINK_DEV_DESCRIPTION
"camera link library for QT-R90x and QT-R7 cameras - development files
The library drives QT-R90x, QT-R90xN and QT-R7 cameras over an RS-232C line,
several cameras in a cascade on one line.
.
This package holds the header qzlink.h, which is also the library's manual,
the pkg-config file, the CMake package (find_package(QzLink)) and qzlink(3).")

set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
"command-line tools, script host and simulator for QT-R90x cameras
Tools around the camera link library for QT-R90x, QT-R90xN and QT-R7
pan/tilt/zoom cameras:
 - qzcli calls any function of the library by name from a shell and prints
   every frame sent and received;
 - qzscript runs JavaScript that drives the cameras through the automation
   control QzlinkAXCtrlE, which qzregsvr registers;
 - qtr90x-camsim simulates a cascade of cameras on a pseudo-terminal.
")

set(CPACK_DEBIAN_CONTROLLER_PACKAGE_SECTION video)
set(CPACK_DEBIAN_CONTROLLER_PACKAGE_RECOMMENDS qt6-wayland)
set(CPACK_COMPONENT_CONTROLLER_DESCRIPTION
"operator application for QT-R90x and QT-R7 pan/tilt/zoom cameras
QT-R90x Controler drives QT-R90x, QT-R90xN and QT-R7 cameras on a serial line:
pan and tilt, zoom and focus, named presets, speeds, exposure, white balance,
on-screen display, camera power, night mode, IR and external light, alarm
output and sensor detection, for each camera of a cascade.")

set(CPACK_DEBIAN_QZLINKD_PACKAGE_SECTION net)
set(CPACK_COMPONENT_QZLINKD_DESCRIPTION
"network control daemon for QT-R90x and QT-R7 pan/tilt/zoom cameras
qzlinkd owns serial camera lines without a desktop and offers every camera on
them over HTTP and WebSocket on one port: JSON requests to move, stop, recall
and store presets, switch power, and read the state; events of every change;
an operator page for a browser or a tablet. It listens on the loopback
addresses only unless told otherwise, and every request needs its token.
.
This package holds the daemon, its manual page and the systemd user units
qzlinkd.service and qzlinkd.socket.")

include(CPack)
