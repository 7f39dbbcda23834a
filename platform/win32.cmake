# The platform layer on Windows: the Win32 names of msgwindow.h and
# registry.h are user32's and advapi32's own; only the layer's Qz* message
# helpers are ours. Static: the library and the programs link the operating
# system only.
add_library(qzplatform STATIC msgwindow_win32.cpp)
qz_target_headers(qzplatform PUBLIC
  FILES platform/msgwindow.h platform/registry.h platform/win32_types.h)
target_link_libraries(qzplatform PUBLIC user32 advapi32 Threads::Threads)
