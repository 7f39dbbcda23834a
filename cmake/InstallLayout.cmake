# Where an installation puts each part, which component (and package) it
# belongs to, and how installed programs find the project's libraries.
#
# Components (cmake --install BUILD --component NAME; packaging/ makes one
# Debian package of each):
#   qzlink      the camera link library and the platform library it uses
#   qzlink_dev  qzlink.h, the link-time names, pkg-config and CMake files, qzlink(3)
#   tools       qzcli, qzscript, qzregsvr, the control module, the simulator
#   controller  the operator application with its menu entry and icons
#   qzlinkd     the network control daemon with its systemd user units
include(GNUInstallDirs)

# The SONAMEs of the project's libraries change together, with this number.
set(QZ_SOVERSION 1)

# The private folder: the control module, the automation core that only our
# programs use, and the name libqzlinke.so under which the control loads the
# camera link library.
set(QZ_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/qzlink)

# The operator application's id on the desktop: the name of its menu entry
# (ID.desktop), its icon and its AppStream metadata. The application gives it
# to Qt as its desktop file name, so that docks match its windows to the entry.
set(QZ_APP_ID com.orveda.QTR90xControler)

# Package names, which are also the names of the documentation folders that
# hold each package's copyright and changelog.
set(QZ_PACKAGE_qzlink libqzlink${QZ_SOVERSION})
set(QZ_PACKAGE_qzlink_dev libqzlink-dev)
set(QZ_PACKAGE_tools qzlink-tools)
set(QZ_PACKAGE_controller qtr90x-controller)
set(QZ_PACKAGE_qzlinkd qzlinkd)

# systemd user units, under the prefix (/usr/lib/systemd/user in the packages).
set(QZ_SYSTEMD_USER_UNITDIR lib/systemd/user)

# Installed programs and modules find the libraries through a RUNPATH relative
# to their own folder ($ORIGIN), so that an installation works under any
# prefix without LD_LIBRARY_PATH; CMake replaces the build tree's RUNPATH at
# installation, so none of it remains in installed files.
file(RELATIVE_PATH _qz_bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
set(QZ_RUNPATH_PROGRAM "$ORIGIN/${_qz_bin_to_lib}")
set(QZ_RUNPATH_PROGRAM_PRIVATE "$ORIGIN/${_qz_bin_to_lib};$ORIGIN/${_qz_bin_to_lib}/qzlink")
set(QZ_RUNPATH_PRIVATE "$ORIGIN;$ORIGIN/..")

# qz_install_program(TARGET COMPONENT LIBS NONE|PUBLIC|PRIVATE)
# Installs a program into bin. LIBS says which of the project's libraries it
# links: none (no RUNPATH), those in the library folder, or also one of the
# private folder.
function(qz_install_program target component)
  cmake_parse_arguments(ARG "" "LIBS" "" ${ARGN})
  if(ARG_LIBS STREQUAL "PRIVATE")
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "${QZ_RUNPATH_PROGRAM_PRIVATE}")
  elseif(ARG_LIBS STREQUAL "PUBLIC")
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "${QZ_RUNPATH_PROGRAM}")
  elseif(NOT ARG_LIBS STREQUAL "NONE")
    message(FATAL_ERROR "qz_install_program(${target}): LIBS NONE, PUBLIC or PRIVATE")
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
endfunction()

# qz_install_private_library(TARGET COMPONENT)
# Installs a module or shared library into the private folder.
function(qz_install_private_library target component)
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "${QZ_RUNPATH_PRIVATE}")
  install(TARGETS ${target}
    LIBRARY DESTINATION ${QZ_PRIVATE_LIBDIR} COMPONENT ${component} NAMELINK_SKIP)
endfunction()
