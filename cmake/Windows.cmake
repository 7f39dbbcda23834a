# What the Windows build (cmake/toolchains/*-w64-mingw32.cmake) needs beside
# the common settings.

# Google Test from /usr/src/googletest (Debian's googletest package), built
# with the cross compiler under the names that find_package(GTest) gives.
set(QZ_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "Google Test sources for the Windows build")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${QZ_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
foreach(lib gtest gtest_main gmock gmock_main)
  if(NOT TARGET GTest::${lib})
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()

# Test programs run under Wine (CMAKE_CROSSCOMPILING_EMULATOR): list their
# tests when ctest runs, not at build time.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# Windows 7 and later: the Win32 calls the library and its tests use.
add_compile_definitions(_WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)

# Programs and DLLs side by side in bin/, as they are installed: Windows
# finds a program's DLLs in its own folder.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
