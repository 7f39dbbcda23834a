# The Windows build of the camera link library.
add_subdirectory(tests)
