# One option per sanitizer build; they cannot be combined.
if(QZ_SANITIZE_ADDRESS AND QZ_SANITIZE_THREAD)
  message(FATAL_ERROR "QZ_SANITIZE_ADDRESS and QZ_SANITIZE_THREAD exclude each other")
endif()
if(QZ_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "QZ_BUILD_FUZZERS needs clang (CC=clang CXX=clang++)")
  endif()
  if(QZ_SANITIZE_ADDRESS OR QZ_SANITIZE_THREAD)
    message(FATAL_ERROR "QZ_BUILD_FUZZERS brings its own sanitizers")
  endif()
  # Every library a harness links is instrumented for coverage and checked by
  # ASan and UBSan; the harnesses add the fuzzer's main (fuzz/CMakeLists.txt).
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(QZ_SANITIZE_ADDRESS)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(QZ_SANITIZE_THREAD)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# qz_compile_as_test(target)
# Test code compiles at -Og in the optimised builds: a test body is a long
# macro expansion that -O2 takes about twice as long over, and the code under
# test sits in libraries that keep the build's own optimisation.
function(qz_compile_as_test target)
  target_compile_options(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-Og>)
endfunction()

# qz_threaded_test_needs(targets...)
# Adds to the targets the threaded_tests target builds: what the tests
# labelled threaded run. The TSan tree builds only those.
add_custom_target(threaded_tests)
function(qz_threaded_test_needs)
  add_dependencies(threaded_tests ${ARGN})
endfunction()

# qz_add_gtest(name SOURCES... LIBS... [LABELS...])
# Builds one GoogleTest program and registers its tests with CTest.
function(qz_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  qz_compile_as_test(${name})
  if("threaded" IN_LIST ARG_LABELS)
    qz_threaded_test_needs(${name})
  endif()
  gtest_discover_tests(${name}
    PROPERTIES ENVIRONMENT "${QZ_TEST_ENVIRONMENT}" LABELS "${ARG_LABELS}"
    DISCOVERY_TIMEOUT 30)
endfunction()
