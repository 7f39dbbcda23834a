# Cross-compiles for 32-bit Windows with Debian's MinGW-w64 (the posix
# thread model, for std::thread). Tests and helpers run through Wine.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QZ_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
