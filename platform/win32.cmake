# The platform layer on Windows: the Win32 names of msgwindow.h and
# registry.h are user32's and advapi32's own.
add_library(qzplatform INTERFACE)
qz_target_headers(qzplatform INTERFACE
  FILES platform/msgwindow.h platform/registry.h platform/win32_types.h)
target_link_libraries(qzplatform INTERFACE user32 advapi32 Threads::Threads)
