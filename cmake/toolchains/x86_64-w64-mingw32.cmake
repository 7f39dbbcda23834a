# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (the posix
# thread model, for std::thread). Tests and helpers run through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(QZ_MINGW_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${QZ_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QZ_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QZ_MINGW_TRIPLET}-windres)
set(CMAKE_DLLTOOL ${QZ_MINGW_TRIPLET}-dlltool)
set(CMAKE_OBJDUMP ${QZ_MINGW_TRIPLET}-objdump)
find_program(QZ_WIDL ${QZ_MINGW_TRIPLET}-widl)

set(CMAKE_FIND_ROOT_PATH /usr/${QZ_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs and DLLs link the C++ run-time statically: they then import only
# system DLLs (KERNEL32, USER32, ADVAPI32, msvcrt, ...), and nothing else
# needs to be shipped beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Test programs run through Wine (a PE file runs with its own bitness).
find_program(QZ_WINE wine)
if(QZ_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QZ_WINE})
endif()
