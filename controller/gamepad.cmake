# Gamepad and joystick control of the operator application. Included at the
# end of controller/CMakeLists.txt. The pure core is always built and tested;
# the SDL edge only where SDL2 is found (scripts/install-deps.sh installs
# libsdl2-dev). Without it the feature is absent and Tools has no entry.
option(QZ_WITH_SDL2 "Gamepad control through SDL2 where SDL2 is found" ON)

add_library(qtr90x_gamepad_core STATIC core/gamepad_core.cpp core/gamepad_settings.cpp)
target_link_libraries(qtr90x_gamepad_core PUBLIC qtr90x_resources)
qz_target_headers(qtr90x_gamepad_core PUBLIC BASE ${CMAKE_CURRENT_SOURCE_DIR}
  FILES core/gamepad_core.h core/gamepad_settings.h)

qz_add_gtest(controller_gamepad_core_tests
  SOURCES tests/gamepad_core_test.cpp tests/gamepad_settings_test.cpp
    tests/gamepad_engine_test.cpp tests/scripted_camera.cpp
  LIBS qtr90x_gamepad_core)
qz_target_headers(controller_gamepad_core_tests PRIVATE BASE ${CMAKE_CURRENT_SOURCE_DIR}
  FILES tests/scripted_camera.h tests/private_registry.h)

# The SDL edge sleeps until a device node appears (inotify, no polling).
add_library(qtr90x_gamepad_devices STATIC ui/gamepad_device_watch.cpp)
qz_target_headers(qtr90x_gamepad_devices PUBLIC BASE ${CMAKE_CURRENT_SOURCE_DIR}
  FILES ui/gamepad_device_watch.h)
qz_add_gtest(controller_gamepad_device_tests
  SOURCES tests/gamepad_device_watch_test.cpp LIBS qtr90x_gamepad_devices LABELS threaded)

set(QZ_HAVE_SDL2 OFF CACHE INTERNAL "")
if(NOT QZ_BUILD_GUI)
  return()
endif()
if(QZ_WITH_SDL2)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    # The virtual joystick description the tests use came with 2.24.
    pkg_check_modules(SDL2 QUIET IMPORTED_TARGET GLOBAL sdl2>=2.24)
    if(SDL2_FOUND)
      set(QZ_HAVE_SDL2 ON CACHE INTERNAL "")
    endif()
  endif()
endif()
message(STATUS "Gamepad control (SDL2): ${QZ_HAVE_SDL2}")

# The Qt side lives in the application's own ui library: the main dialog
# creates it and routes the engine's answers to it.
target_sources(qtr90x_ui PRIVATE ui/gamepad_control.cpp ui/gamepad_dialog.cpp)
target_link_libraries(qtr90x_ui PUBLIC qtr90x_gamepad_core)
if(QZ_HAVE_SDL2)
  target_sources(qtr90x_ui PRIVATE ui/gamepad_sdl.cpp)
  target_link_libraries(qtr90x_ui PUBLIC PkgConfig::SDL2 qtr90x_gamepad_devices)

  # The whole path through SDL's virtual joystick against the simulated camera.
  qz_add_gui_test(controller_gamepad_tests TIMEOUT 180
    ENVIRONMENT SDL_VIDEODRIVER=dummy
      QZLINK_TRACE=${CMAKE_CURRENT_BINARY_DIR}/controller_gamepad_tests.trace
    SOURCES tests/gamepad_test.cpp)
  qz_target_headers(controller_gamepad_tests PRIVATE BASE ${CMAKE_CURRENT_SOURCE_DIR}
    FILES tests/virtual_pad.h)
else()
  target_sources(qtr90x_ui PRIVATE ui/gamepad_sdl_absent.cpp)
endif()
